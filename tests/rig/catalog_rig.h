// The library's module catalog as the catalog tests read it: the parsed XML document and its
// Plugin elements by identifier (an identifier described twice has two).
#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

namespace rig {

struct CatalogIndex {
    pugi::xml_document doc;
    std::map<std::string, std::vector<pugi::xml_node>> plugins;

    // Parses the catalog text (keeping the XML declaration) and indexes its Plugin elements.
    // Call through ASSERT_NO_FATAL_FAILURE: a missing or malformed text fails the test.
    void parseCatalog(const char* text) {
        ASSERT_NE(text, nullptr);
        const auto parsed = doc.load_string(text, pugi::parse_default | pugi::parse_declaration);
        ASSERT_TRUE(parsed) << parsed.description() << " at " << parsed.offset;
        for (const auto& p : doc.child("PluginList").children("Plugin"))
            plugins[p.attribute("id").value()].push_back(p);
    }
};

} // namespace rig
