#include "app/core/RadioType.h"

#include <gtest/gtest.h>

#include "app/core/BuildLabels.h"
#include "tests/app/core/RecordingView.h"

namespace quillon {
namespace {

TEST(RadioTypeTest, OfBuild) {
    struct Case {
        uint8_t model, series, selector, expected;
    };
    const Case cases[] = {
        {0, 6, 1, 0}, {0, 4, 1, 6}, {0, 5, 1, 4}, {0, 7, 0, 4},  // selector ignored for 6700
        {1, 6, 1, 8}, {1, 4, 1, 7}, {1, 1, 1, 5}, {1, 6, 0, 1}, {1, 4, 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RadioTypeOfBuild(c.model, c.series, c.selector), c.expected)
            << int(c.model) << "/" << int(c.series) << "/" << int(c.selector);
    }
}

TEST(RadioTypeTest, OfRadio) {
    struct Case {
        uint8_t model, major, minor, expected;
    };
    const Case cases[] = {
        {0, 6, 7, 0}, {0, 4, 0, 6}, {0, 7, 1, 6}, {0, 5, 0, 4}, {0, 1, 8, 4},
        {1, 4, 2, 7}, {1, 6, 0, 8}, {1, 2, 0, 5}, {1, 1, 9, 5}, {1, 1, 8, 1},
        {1, 1, 0, 1}, {1, 0, 0, 1}, {1, 7, 0, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RadioTypeOfRadio(c.model, c.major, c.minor), c.expected)
            << int(c.model) << " " << int(c.major) << "." << int(c.minor);
    }
}

TEST(BuildLabelsTest, NameAndRelease) {
    struct Case {
        const char* path;
        const char* name;
        const char* release;
    };
    const Case cases[] = {
        {"/opt/q/Updater_Release_4_1.exe", "Name: Updater_Release_4_1", "4.1"},
        {"QuillonCodeUpdater_6700_Series_6_Release_1_4_8",
         "Name: QuillonCodeUpdater_6700_Series_6_Release_1_4_8", "1.4 8"},
        {"/x/Updater.Release_2_0", "Name: Updater", "N/A"},  // everything from the first point
        {"Plain", "Name: Plain", "N/A"},
        {"_Release_3_2", "Name: _Release_3_2", "3.2"},  // the leading underscore is a blank
        {"Release_5", "Name: Release_5", "5"},
        {"a.b/Tool_Release_12", "Name: Tool_Release_12", "12"},  // the folder's point is not cut
    };
    for (const Case& c : cases) {
        test::RecordingView view;
        BuildLabels::SetupNameLabels(view, c.path);
        EXPECT_EQ(view.name, c.name) << c.path;
        EXPECT_EQ(view.release, c.release) << c.path;
    }
}

TEST(BuildLabelsTest, Picture) {
    using P = UpdaterView::RadioPicture;
    struct Case {
        uint8_t model, series;
        P picture;
    };
    for (const Case& c : {Case{0, 6, P::PortableG}, Case{0, 4, P::PortableX},
                          Case{1, 6, P::MobileG}, Case{1, 1, P::MobileX}}) {
        ResourceAttributes a;
        a.RadioModel = c.model;
        a.Series = c.series;
        EXPECT_EQ(BuildLabels::PictureOf(a), c.picture);
    }
}

}  // namespace
}  // namespace quillon
