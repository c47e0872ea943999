// Reading a loaded module's PE headers: its machine type, the names it exports and the
// libraries it imports, as the Windows loader sees them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace zrwin {

struct PeImage {
    WORD machine = 0;
    WORD optionalMagic = 0;
    std::vector<std::string> exports; // sorted
    std::vector<std::string> imports; // lower case, sorted
};

// The headers of a module mapped by LoadLibrary (RVAs are offsets from its base).
inline PeImage readPeImage(HMODULE module) {
    PeImage image;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return image;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return image;
    image.machine = nt->FileHeader.Machine;
    image.optionalMagic = nt->OptionalHeader.Magic;

    const IMAGE_DATA_DIRECTORY& exportDir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (exportDir.VirtualAddress != 0 && exportDir.Size != 0) {
        const auto* table =
            reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportDir.VirtualAddress);
        const auto* names = reinterpret_cast<const DWORD*>(base + table->AddressOfNames);
        for (DWORD i = 0; i < table->NumberOfNames; ++i)
            image.exports.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }

    const IMAGE_DATA_DIRECTORY& importDir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (importDir.VirtualAddress != 0 && importDir.Size != 0) {
        for (const auto* entry =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importDir.VirtualAddress);
             entry->Name != 0; ++entry) {
            std::string name(reinterpret_cast<const char*>(base + entry->Name));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            image.imports.push_back(name);
        }
    }
    std::sort(image.exports.begin(), image.exports.end());
    std::sort(image.imports.begin(), image.imports.end());
    image.imports.erase(std::unique(image.imports.begin(), image.imports.end()),
                        image.imports.end());
    return image;
}

// A UTF-8 path as the wide string LoadLibraryW takes (test paths are ASCII).
inline std::wstring widePath(const std::string& path) {
    return std::wstring(path.begin(), path.end());
}

} // namespace zrwin
