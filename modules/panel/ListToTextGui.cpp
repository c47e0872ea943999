// "VL ListToText": Choice and Item List in, the chosen item's text out.
#include "modules/panel/ListToTextGui.h"

#include "framework/mp_enum_list.h"
#include "framework/mp_factory.h"

namespace zr {

ListToTextGui::ListToTextGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, choice, &ListToTextGui::onChange);
    initializePin(1, itemList, &ListToTextGui::onChange);
    initializePin(2, itemText);
}

// A choice that is not in the list leaves the text as it is.
void ListToTextGui::onChange() {
    gmpi::MpEnumListIterator items(itemList.getValue());
    std::u16string text;
    if (items.find(choice.getValue(), text)) itemText.setValue(text);
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL ListToText", &gmpi::createGui<zr::ListToTextGui>);
} // namespace
