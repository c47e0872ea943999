// One rig for the panel utilities: the shipped library loaded once, and GUI halves created with
// a chosen host pin count and driven with values of any byte form.
#pragma once

#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace paneltest {

using gmpi::int32;

inline zrhost::ModuleLibrary& library() {
    static std::unique_ptr<zrhost::ModuleLibrary> lib =
        zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    return *lib;
}

class PanelRig : public ::testing::Test {
  protected:
    zrhost::HostContext context;

    // A created (and, unless told otherwise, initialised) GUI half; the record starts empty.
    std::unique_ptr<zrhost::GuiModule> make(const std::u16string& id, int32 pinCount = 0,
                                            bool initialise = true) {
        zrhost::GuiHostOptions options;
        options.pinCount = pinCount;
        auto m = std::make_unique<zrhost::GuiModule>(library(), id, context, options);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk) << zrhost::toUtf8(id);
        if (initialise) m->initialize();
        m->clearRecord();
        return m;
    }
    // A bool as the host may send it: 1 byte, or a 4-byte integer.
    static int32 deliverBool(zrhost::GuiModule& m, int32 pin, int32 value, int32 size) {
        unsigned char bytes[4] = {};
        if (size == 4)
            std::memcpy(bytes, &value, 4);
        else
            bytes[0] = static_cast<unsigned char>(value);
        return m.deliver(pin, bytes, size);
    }
    // (pin, value) of every transmission of bool pins, in order.
    static std::vector<std::pair<int32, bool>> boolsSent(const zrhost::GuiModule& m) {
        std::vector<std::pair<int32, bool>> out;
        for (const auto& t : m.transmits())
            if (t.bytes.size() == 1) out.emplace_back(t.pinId, t.bytes[0] != 0);
        return out;
    }
};

} // namespace paneltest
