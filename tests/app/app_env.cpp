// One application object for the whole test program, made by hxwin's own
// toolkit layer, so every test sees the program's title and fonts.
#include <gtest/gtest.h>

#include <QByteArray>

#include <memory>

#include "toolkit.h"

namespace {

class Tqt_environment : public ::testing::Environment {
public:
    void SetUp() override {
        // Pinned here as well as in CTest, so that the program run by hand
        // never needs a display and always lays out at 96 pixels per inch.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_FONT_DPI", "96");
        qputenv("QT_SCALE_FACTOR", "1");
        app_ = std::make_unique<hx::tk::Tapplication>("app_tests");
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<hx::tk::Tapplication> app_;
};

[[maybe_unused]] const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new Tqt_environment);

}  // namespace
