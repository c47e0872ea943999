// Number text under a host that has switched the process to a locale with a decimal comma:
// the converters and the formatter must still write and read a decimal point.
#include "scripts.h"

#include <clocale>
#include <string>

using namespace convtest;

namespace {

class DecimalCommaLocale : public ConverterRig {
  protected:
    std::string previous;

    void SetUp() override {
        previous = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"})
            if (std::setlocale(LC_ALL, name)) break;
        const std::lconv* conv = std::localeconv();
        if (!conv || std::string(conv->decimal_point) != ",") {
            std::setlocale(LC_ALL, previous.c_str());
            GTEST_SKIP() << "no locale with a decimal comma is installed (de_DE.UTF-8; "
                            "scripts/install-deps.sh generates it)";
        }
    }
    void TearDown() override { std::setlocale(LC_ALL, previous.c_str()); }
};

TEST_F(DecimalCommaLocale, NumbersKeepTheirPoint) {
    runAudio({u"VL FloatToText",
              {{0, F(0.5f), T(u"0.500000")}, {1, T(u"2.5abc"), F(2.5f)}, {1, T(u"7,5"), F(7.0f)}}});
    runAudio({u"VL TextToFloat", {{0, T(u"2.5abc"), F(2.5f)}, {1, F(-1.25f), T(u"-1.250000")}}});
    runGui({u"VL TextToFloat GUI", {{0, T(u" 2.5abc"), F(2.5f)}, {1, F(0.25f), T(u"0.250000")}}});
    runGui({u"VL FloatToText GUI",
            {{1, I(-1), T(u"0.0"), 2},
             {0, F(3.14159f), T(u"3.14"), 2},
             {2, T(u"3.140"), std::nullopt},
             {2, T(u"2.5"), F(2.5f), 0}}});
}

} // namespace
