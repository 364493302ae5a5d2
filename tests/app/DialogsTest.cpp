#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include "app/AboutDialog.h"
#include "app/PasswordDialog.h"
#include "tests/app/WidgetTestApp.h"

namespace quillon {
namespace {

using test::WidgetTestApp;

enum class Ending { EnterInEdit, ClickOk, Escape, ClickCancel, CloseWindow };

struct EndingCase {
    const char* name;
    Ending ending;
    uint8_t accepted;
    int result;
};

class PasswordDialogEnding : public testing::TestWithParam<EndingCase> {};

TEST_P(PasswordDialogEnding, AcceptedOnlyAfterOk) {
    WidgetTestApp();
    PasswordDialog dialog;
    EXPECT_EQ(dialog.Accepted(), 0);
    const Ending ending = GetParam().ending;
    test::WhenModal([&dialog, ending](QWidget* modal) {
        ASSERT_EQ(modal, &dialog);
        QTest::keyClicks(dialog.PasswordEdit(), "pelican");
        switch (ending) {
            case Ending::EnterInEdit:
                QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Return);
                break;
            case Ending::ClickOk:
                QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
                break;
            case Ending::Escape:
                QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Escape);
                break;
            case Ending::ClickCancel:
                QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
                break;
            case Ending::CloseWindow:
                dialog.close();
                break;
        }
    });
    const int result = dialog.exec();
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(dialog.Accepted(), GetParam().accepted);
    EXPECT_EQ(dialog.GetPasswordText(), "pelican");
}

INSTANTIATE_TEST_SUITE_P(
    Endings, PasswordDialogEnding,
    testing::Values(EndingCase{"EnterInEdit", Ending::EnterInEdit, 1, QDialog::Accepted},
                    EndingCase{"ClickOk", Ending::ClickOk, 1, QDialog::Accepted},
                    EndingCase{"Escape", Ending::Escape, 0, QDialog::Rejected},
                    EndingCase{"ClickCancel", Ending::ClickCancel, 0, QDialog::Rejected},
                    EndingCase{"CloseWindow", Ending::CloseWindow, 0, QDialog::Rejected}),
    [](const testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

TEST(PasswordDialog, OkAfterCancelIsStillCountedOnce) {
    WidgetTestApp();
    PasswordDialog dialog;
    test::WhenModal([&dialog](QWidget*) { dialog.OkButton()->click(); });
    dialog.exec();
    EXPECT_EQ(dialog.Accepted(), 1);
    // Shown again and cancelled: the earlier OK no longer counts.
    test::WhenModal([&dialog](QWidget*) { dialog.CancelButton()->click(); });
    dialog.exec();
    EXPECT_EQ(dialog.Accepted(), 0);
}

TEST(PasswordDialog, TextLosesBlanksAndControlCharactersAtBothEndsOnly) {
    WidgetTestApp();
    const struct {
        QString typed;
        QString expected;
    } cases[] = {
        {"pelican ", "pelican"},
        {"  pelican", "pelican"},
        {QString("\tpelican") + QChar(0x01), "pelican"},
        {"PELICAN", "PELICAN"},
        {"peli can", "peli can"},
        {"   ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        PasswordDialog dialog;
        dialog.PasswordEdit()->setText(c.typed);
        EXPECT_EQ(dialog.GetPasswordText(), c.expected) << c.typed.toStdString();
    }
}

TEST(PasswordDialog, LayoutAndEcho) {
    WidgetTestApp();
    PasswordDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Radio Code Update - Enter Password");
    EXPECT_EQ(dialog.size(), QSize(387, 107));
    const struct {
        QWidget* widget;
        QRect geometry;
    } controls[] = {
        {dialog.Panel(), QRect(8, 9, 281, 89)},
        {dialog.PasswordEdit(), QRect(8, 48, 265, 21)},
        {dialog.OkButton(), QRect(304, 8, 75, 25)},
        {dialog.CancelButton(), QRect(304, 40, 75, 25)},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->geometry(), c.geometry) << c.widget->metaObject()->className();
    }
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.PasswordEdit()->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                        nullptr, dialog.PasswordEdit()),
              '*');
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), dialog.PasswordEdit());
}

TEST(AboutDialog, TextsPictureAndLayout) {
    WidgetTestApp();
    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "About");
    EXPECT_EQ(dialog.VersionText()->text(), "Version 1.4.8");
    EXPECT_EQ(dialog.NameText()->text(), "Quillon Code Updater");
    EXPECT_FALSE(dialog.CopyrightText()->text().isEmpty());
    const struct {
        QWidget* widget;
        QPoint position;
    } controls[] = {
        {dialog.Panel(), QPoint(8, 8)},
        {dialog.Image(), QPoint(48, 16)},
        {dialog.NameText(), QPoint(16, 76)},
        {dialog.VersionText(), QPoint(16, 92)},
        {dialog.CopyrightText(), QPoint(16, 108)},
        {dialog.Ok(), QPoint(112, 152)},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->pos(), c.position) << c.widget->metaObject()->className();
    }
    EXPECT_EQ(dialog.Image()->size(), QSize(192, 52));
    EXPECT_EQ(dialog.Ok()->size(), QSize(75, 25));
    test::WhenModal([&dialog](QWidget*) { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace quillon
