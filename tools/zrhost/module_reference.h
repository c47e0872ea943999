// The module reference: what `zrhost describe` prints about a module (its halves and pins,
// with each pin's default, range and value names where the description gives them), as text
// for the terminal or as Markdown for docs/modules.md.
#pragma once

#include "host/module_catalog.h"

#include <string>

namespace zrhost {

// One module as plain text: identifier, name, category, halves, one table per half.
std::string moduleText(const ModuleInfo& module);
// One module as a Markdown section (a level-2 heading and one table per half).
std::string moduleMarkdown(const ModuleInfo& module);
// Every module of the catalog, sorted by identifier, as a Markdown document.
std::string referenceMarkdown(const ModuleCatalog& catalog);

// "unknown module identifier ..." with the identifier that differs only in case, if any.
std::string unknownModuleMessage(const ModuleCatalog& catalog, const std::string& id);

// "audio+gui", "audio", "gui" or "-".
std::string halvesOf(const ModuleInfo& module);

} // namespace zrhost
