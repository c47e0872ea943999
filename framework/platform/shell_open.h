// The desktop shell's file operations ("open", "edit", "explore", ...), for the system-command
// module. On Windows the shell runs the verb (ShellExecuteW). Elsewhere the desktop's opener
// program is started directly for the file, with the file name as its one argument: no shell
// interpreter ever reads the name. User-interface thread.
#pragma once

#include <string_view>

namespace gmpi::platform {

// Runs `verb` on the file `path`. Failures (no such file, no opener) are not reported.
//
// Off Windows the opener only opens, so every verb opens the file with the desktop's default
// application. Nothing is started for an empty path or for a path that names no existing
// file or folder (the Windows shell fails on those too), so a stray name never reaches an
// opener that would take it for a web address.
void shellExecute(std::u16string_view verb, std::u16string_view path);

// Receives the operations instead of the shell, so that tests see what would have run.
class ShellRecorder {
  public:
    virtual ~ShellRecorder() = default;
    virtual void record(std::u16string_view verb, std::u16string_view path) = 0;
};

// Installs a recorder (null: run the shell again). Only test module libraries, built from
// the framework sources into a library of their own, call this; nothing in the shipped
// library does, and it is not exported, so a host has no way to reach it.
void setShellRecorder(ShellRecorder* recorder);

#if !defined(_WIN32)
// Name of the desktop's opener program, looked up in the directories of PATH.
const char* openerProgramName();
#endif

} // namespace gmpi::platform
