#include <gtest/gtest.h>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QToolButton>

#include "app/AboutDialog.h"
#include "app/ComPortItemDelegate.h"
#include "app/MainWindow.h"
#include "app/PasswordDialog.h"
#include "tests/app/WidgetTestApp.h"

namespace quillon {
namespace {

using Form = MainWindow;

TEST(MainWindow, ControlsSitWhereTheLayoutPutsThem) {
    test::WidgetTestApp();
    Form form;
    const struct {
        const char* name;
        QWidget* widget;
        QRect geometry;
    } controls[] = {
        {"toggle", form.ToggleButton(), QRect(377, 35, 23, 14)},
        {"target group", form.TargetGroup(), QRect(8, 74, 393, 143)},
        {"transfer group", form.TransferGroup(), QRect(8, 222, 393, 179)},
        {"version group", form.VersionGroup(), QRect(412, 30, 273, 283)},
        {"progress", form.ProgressBar(), QRect(10, 105, 372, 17)},
        {"start", form.StartButton(), QRect(159, 145, 75, 25)},
        {"retrieve", form.RetrieveButton(), QRect(99, 250, 75, 25)},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->geometry(), c.geometry) << c.name;
    }
    const struct {
        const char* name;
        QWidget* widget;
        QWidget* parent;
        QPoint position;
    } placed[] = {
        {"name", form.NameLabel(), &form, QPoint(8, 53)},
        {"combo", form.ComPortCombo(), form.TransferGroup(), QPoint(56, 22)},
        {"upgrade type", form.UpgradeTypeLabel(), form.TransferGroup(), QPoint(188, 24)},
        {"application", form.ApplicationRadio(), form.TransferGroup(), QPoint(268, 22)},
        {"boot", form.BootRadio(), form.TransferGroup(), QPoint(268, 40)},
        {"status", form.StatusLabel(), form.TransferGroup(), QPoint(56, 84)},
        {"portable G", form.Picture(UpdaterView::RadioPicture::PortableG), form.TargetGroup(),
         QPoint(224, 16)},
        {"mobile X", form.Picture(UpdaterView::RadioPicture::MobileX), form.TargetGroup(),
         QPoint(224, 16)},
        {"first version value", form.VersionValue(0), form.VersionGroup(), QPoint(144, 20)},
        {"last version heading", form.VersionHeading(6), form.VersionGroup(), QPoint(8, 164)},
    };
    for (const auto& c : placed) {
        EXPECT_EQ(c.widget->parentWidget(), c.parent) << c.name;
        EXPECT_EQ(c.widget->pos(), c.position) << c.name;
    }
    EXPECT_EQ(form.ComPortCombo()->width(), 121);
    EXPECT_EQ(form.VersionHeading(2)->text(), "HC08 Software Version:");
    form.SetControllerHeading(true);
    EXPECT_EQ(form.VersionHeading(2)->text(), "Controller Version:");
}

TEST(MainWindow, OpensNarrowAndTheToggleWidensAndNarrowsIt) {
    test::WidgetTestApp();
    Form form;
    EXPECT_EQ(form.windowTitle(), "Quillon Code Updater");
    EXPECT_EQ(form.font().pointSize(), 8);
    // Outer widths 417 and 695, less the two borders: narrow cuts the panel off entirely.
    const int narrow = 412 + 5 - Form::kFrameWidth;
    const int wide = 273 + narrow + 5;
    EXPECT_FALSE(form.VersionPanelShown());
    EXPECT_EQ(form.size(), QSize(narrow, Form::kClientHeight));
    EXPECT_LT(form.width(), form.VersionGroup()->x());
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form.geometry().center() - centre).manhattanLength(), 2);
    const struct {
        int width;
        bool shown;
        const char* caption;
    } steps[] = {{wide, true, "<<"}, {narrow, false, ">>"}, {wide, true, "<<"}};
    for (const auto& step : steps) {
        form.ToggleButton()->click();
        EXPECT_EQ(form.width(), step.width);
        EXPECT_EQ(form.height(), Form::kClientHeight);
        EXPECT_EQ(form.VersionPanelShown(), step.shown);
        EXPECT_EQ(form.ToggleButton()->text(), step.caption);
        EXPECT_EQ(form.MenuBar()->width(), step.width);
    }
}

TEST(MainWindow, StartsIdleWithTheChoiceAndPicturesHidden) {
    test::WidgetTestApp();
    Form form;
    form.show();
    EXPECT_EQ(form.StatusText(), "Idle");
    EXPECT_EQ(form.StartButton()->text(), "Start");
    EXPECT_EQ(form.ComPortCombo()->count(), Form::kComPortCount);
    EXPECT_EQ(form.ComPortCombo()->itemText(254), "COM255");
    EXPECT_FALSE(form.UpgradeTypeLabel()->isVisible());
    EXPECT_FALSE(form.ApplicationRadio()->isVisible());
    EXPECT_FALSE(form.BootRadio()->isVisible());
    EXPECT_TRUE(form.ApplicationRadio()->isChecked());
    for (auto p : {UpdaterView::RadioPicture::PortableG, UpdaterView::RadioPicture::PortableX,
                   UpdaterView::RadioPicture::MobileG, UpdaterView::RadioPicture::MobileX}) {
        EXPECT_FALSE(form.Picture(p)->isVisible());
    }
    form.ShowPicture(UpdaterView::RadioPicture::MobileG);
    for (auto p : {UpdaterView::RadioPicture::PortableG, UpdaterView::RadioPicture::PortableX,
                   UpdaterView::RadioPicture::MobileG, UpdaterView::RadioPicture::MobileX}) {
        EXPECT_EQ(form.Picture(p)->isVisible(), p == UpdaterView::RadioPicture::MobileG);
    }
    form.SetUpgradeTypeChoiceVisible(true);
    EXPECT_TRUE(form.BootRadio()->isVisible());
    form.BootRadio()->click();
    EXPECT_TRUE(form.BootSelected());
    EXPECT_FALSE(form.ApplicationRadio()->isChecked());
}

TEST(MainWindow, MenusCarryTheirCaptions) {
    test::WidgetTestApp();
    Form form;
    QStringList seen;
    for (QAction* top : form.MenuBar()->actions()) {
        seen << top->text();
        for (QAction* item : top->menu()->actions()) {
            seen << item->text();
        }
    }
    EXPECT_EQ(seen, QStringList({"&File", "&Update COM Ports", "E&xit", "&Help", "&About"}));
    QSignalSpy about(&form, &Form::aboutRequested);
    QSignalSpy refresh(&form, &Form::updateComPortsRequested);
    form.AboutAction()->trigger();
    form.UpdateComPortsAction()->trigger();
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(refresh.count(), 1);
}

TEST(MainWindow, RunningAndIdleLooks) {
    test::WidgetTestApp();
    Form form;
    form.ShowRunning(7);
    EXPECT_EQ(form.windowTitle(), "Quillon Code Updater [COM7]");
    EXPECT_EQ(form.StartButton()->text(), "Stop");
    EXPECT_FALSE(form.StartButton()->isDefault());
    EXPECT_FALSE(form.ComPortCombo()->isEnabled());
    EXPECT_FALSE(form.RetrieveButton()->isEnabled());
    form.ShowIdle();
    EXPECT_EQ(form.windowTitle(), "Quillon Code Updater");
    EXPECT_EQ(form.StartButton()->text(), "Start");
    EXPECT_TRUE(form.ComPortCombo()->isEnabled());
    EXPECT_TRUE(form.RetrieveButton()->isEnabled());
}

TEST(MainWindow, CloseAsksTheHookAndExitGoesThroughIt) {
    test::WidgetTestApp();
    Form form;
    form.show();
    int asked = 0;
    bool allow = false;
    form.SetCloseQuery([&] {
        ++asked;
        return allow;
    });
    form.ExitAction()->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(form.isVisible());
    allow = true;
    form.close();
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(form.isVisible());
}

TEST(MainWindow, ViewSetsStatusProgressAndShowsBoxes) {
    test::WidgetTestApp();
    Form form;
    UpdaterView& view = form;
    EXPECT_FALSE(view.ConsoleMode());
    view.Say("Checking target radio...");
    EXPECT_EQ(form.StatusText(), "Checking target radio...");
    view.Console("never shown");
    EXPECT_EQ(form.StatusText(), "Checking target radio...");
    view.SetProgress(40, 100);
    EXPECT_EQ(form.ProgressValue(), 40);

    const struct {
        MessageIcon icon;
        MessageButtons buttons;
        QMessageBox::Icon boxIcon;
        QMessageBox::StandardButton press;
        MessageAnswer answer;
    } cases[] = {
        {MessageIcon::Error, MessageButtons::Ok, QMessageBox::Critical, QMessageBox::Ok,
         MessageAnswer::Ok},
        {MessageIcon::Information, MessageButtons::Ok, QMessageBox::Information, QMessageBox::Ok,
         MessageAnswer::Ok},
        {MessageIcon::Question, MessageButtons::YesNo, QMessageBox::Question, QMessageBox::Yes,
         MessageAnswer::Yes},
        {MessageIcon::Question, MessageButtons::YesNo, QMessageBox::Question, QMessageBox::No,
         MessageAnswer::No},
    };
    for (const auto& c : cases) {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        test::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(c.press)->click();
        });
        const MessageAnswer answer = view.ShowMessage(
            "Selected COM port is in use or not available.", "COM Port", c.icon, c.buttons);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(title, "COM Port");
        EXPECT_EQ(text, "Selected COM port is in use or not available.");
        EXPECT_EQ(icon, c.boxIcon);
    }
}

TEST(MainWindow, PasswordAnswerCountsOnlyAfterOk) {
    test::WidgetTestApp();
    Form form;
    const struct {
        const char* typed;
        bool ok;
        bool answered;
        std::string text;
    } cases[] = {
        {" marigold ", true, true, "marigold"},
        {"marigold", false, false, ""},
        {"", true, true, ""},
    };
    for (const auto& c : cases) {
        test::WhenModal([&c](QWidget* modal) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->PasswordEdit()->setText(c.typed);
            (c.ok ? dialog->OkButton() : dialog->CancelButton())->click();
        });
        std::string text = "left over";
        EXPECT_EQ(form.AskPassword(text), c.answered) << c.typed;
        EXPECT_EQ(text, c.text) << c.typed;
    }
    test::WhenModal([](QWidget* modal) {
        auto* about = qobject_cast<AboutDialog*>(modal);
        ASSERT_NE(about, nullptr);
        about->Ok()->click();
    });
    form.ShowAbout();
}

// Draws one item of the COM port list into a picture and reports the background (a corner) and
// whether any pixel has the given text colour.
struct Drawn {
    QColor background;
    bool textIn(QColor colour) const { return colours.contains(colour.rgb()); }
    QSet<QRgb> colours;
};

Drawn DrawItem(bool present, bool enabled, bool selected, const QPalette& palette) {
    QStandardItemModel model;
    auto* item = new QStandardItem("COM88");
    item->setData(present, ComPortItemDelegate::kPresentRole);
    model.appendRow(item);
    ComPortItemDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 80, 20);
    option.palette = palette;
    QFont font = option.font;
    font.setPointSize(14);
    font.setStyleStrategy(QFont::NoAntialias);
    option.font = font;
    option.state = QStyle::State_None;
    if (enabled) {
        option.state |= QStyle::State_Enabled;
    }
    if (selected) {
        option.state |= QStyle::State_Selected;
    }
    QImage image(80, 20, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    Drawn drawn;
    drawn.background = image.pixelColor(79, 19);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            drawn.colours.insert(image.pixel(x, y));
        }
    }
    return drawn;
}

TEST(ComPortItemDelegate, AbsentPortsAreGreyOnWhiteWhenSelected) {
    test::WidgetTestApp();
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(250, 250, 240));
    palette.setColor(QPalette::Text, QColor(0, 0, 0));
    palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 0));
    const QColor grey(128, 128, 128);
    const struct {
        const char* name;
        bool present, enabled, selected;
        QColor background, text;
    } cases[] = {
        {"present", true, true, false, QColor(250, 250, 240), QColor(0, 0, 0)},
        {"present selected", true, true, true, QColor(0, 0, 200), QColor(255, 255, 0)},
        {"absent", false, true, false, QColor(250, 250, 240), grey},
        {"absent selected", false, true, true, QColor(255, 255, 255), grey},
        {"present, list disabled", true, false, false, QColor(250, 250, 240), grey},
        {"present selected, list disabled", true, false, true, QColor(255, 255, 255), grey},
    };
    for (const auto& c : cases) {
        const Drawn drawn = DrawItem(c.present, c.enabled, c.selected, palette);
        EXPECT_EQ(drawn.background, c.background) << c.name;
        EXPECT_TRUE(drawn.textIn(c.text)) << c.name;
        EXPECT_FALSE(drawn.textIn(Qt::magenta)) << c.name << ": the rectangle is not filled";
    }
}

TEST(MainWindow, ComPortListKeepsPresenceAndPosition) {
    test::WidgetTestApp();
    Form form;
    std::vector<ComPortItem> items;
    for (int n = 1; n <= Form::kComPortCount; ++n) {
        items.push_back(
            {n == 5 ? "COM5 (6700 USB)" : "COM" + QString::number(n), n == 1 || n == 5});
    }
    form.SetComPortItems(items);
    EXPECT_EQ(form.ComPortPosition(), 0);
    EXPECT_TRUE(form.ComPortPresent(0));
    EXPECT_FALSE(form.ComPortPresent(1));
    EXPECT_TRUE(form.ComPortPresent(4));
    EXPECT_FALSE(form.ComPortPresent(255));
    EXPECT_EQ(form.ComPortCombo()->itemText(4), "COM5 (6700 USB)");
    form.SetComPortPosition(4);
    EXPECT_EQ(form.ComPortPosition(), 4);

    // The face of the list draws the chosen item's text grey exactly when its port is absent
    // (counted against the grey the style's frame may already use).
    QFont crisp = form.ComPortCombo()->font();
    crisp.setStyleStrategy(QFont::NoAntialias);
    form.ComPortCombo()->setFont(crisp);
    const auto greyOnFace = [&form] {
        const QImage face = form.ComPortCombo()->grab().toImage();
        int count = 0;
        for (int y = 0; y < face.height(); ++y) {
            for (int x = 0; x < face.width(); ++x) {
                count += face.pixelColor(x, y) == ComPortItemDelegate::AbsentTextColour();
            }
        }
        return count;
    };
    form.show();
    const int present = greyOnFace();
    form.SetComPortPosition(1);
    EXPECT_GT(greyOnFace(), present + 10);
}

}  // namespace
}  // namespace quillon
