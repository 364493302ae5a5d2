#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QToolButton>

#include "app/AboutDialog.h"
#include "app/AppFont.h"
#include "app/ComPortComboBox.h"
#include "app/ComPortItemDelegate.h"
#include "app/JpegPicture.h"
#include "app/PasswordDialog.h"

namespace quillon {
namespace {

constexpr const char* kTitle = "Quillon Code Updater";
constexpr int kMenuHeight = 26;

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A value label that grows with its text from a fixed left-top corner. A text wider than the
// room its parent leaves is drawn smaller rather than cut off (the desktop's sans face is
// wider than the one the layout was drawn with).
void SetLabelText(QLabel* label, const QString& text) {
    constexpr int kMargin = 4;
    constexpr qreal kSmallestPoints = 6.0;
    QFont font = label->parentWidget()->font();
    const int room = label->parentWidget()->width() - label->x() - kMargin;
    while (font.pointSizeF() > kSmallestPoints &&
           QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label->setFont(font);
    label->setText(text);
    label->adjustSize();
}

QFrame* MakeLine(QWidget* parent, int x, int y, int width) {
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(x, y, width, 2);
    return line;
}

struct PictureFile {
    const char* file;
    const char* name;
};
constexpr std::array<PictureFile, 4> kPictures{{
    {"portable-g.jpg", "PortableGPicture"},
    {"portable-x.jpg", "PortableXPicture"},
    {"mobile-g.jpg", "MobileGPicture"},
    {"mobile-x.jpg", "MobileXPicture"},
}};
const QSize kPictureSize(160, 120);

constexpr std::array<const char*, MainWindow::kVersionRows> kVersionHeadings{
    "File Format Version:", "DSP Software Version:", "HC08 Software Version:",
    "Hardware Revision:",   "Radio Serial Number:",  "Boot Load Version:",
    "SEM Version:"};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(kTitle);
    setFont(AppFont());
    setFixedSize(kClientWidth, kClientHeight);

    BuildMenu();

    m_ToggleVersionPanelButton = new QToolButton(this);
    m_ToggleVersionPanelButton->setGeometry(377, 35, 23, 14);
    m_ToggleVersionPanelButton->setAutoRaise(true);
    m_ToggleVersionPanelButton->setText(">>");
    m_ToggleVersionPanelButton->setToolTip("Toggle Version Info");
    QFont bold = font();
    bold.setBold(true);
    m_ToggleVersionPanelButton->setFont(bold);
    connect(m_ToggleVersionPanelButton, &QToolButton::clicked, this,
            &MainWindow::ToggleButtonPressed);

    m_NameLabel = MakeLabel("Name:", this, 8, 53);

    BuildTargetGroup();
    BuildTransferGroup();
    BuildVersionGroup();

    // The window opens with the version panel cut off.
    ToggleVersionPanel();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        move(desktop.center() - QPoint(width() / 2, height() / 2));
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setGeometry(0, 0, kClientWidth, kMenuHeight);
    QMenu* file = menuBar_->addMenu("&File");
    m_UpdateCOMPortsMenuItem = file->addAction("&Update COM Ports");
    m_FileExitMenuItem = file->addAction("E&xit");
    QMenu* help = menuBar_->addMenu("&Help");
    m_HelpAboutMenuItem = help->addAction("&About");

    connect(m_UpdateCOMPortsMenuItem, &QAction::triggered, this,
            &MainWindow::updateComPortsRequested);
    connect(m_FileExitMenuItem, &QAction::triggered, this, &QWidget::close);
    connect(m_HelpAboutMenuItem, &QAction::triggered, this, &MainWindow::aboutRequested);
}

void MainWindow::BuildTargetGroup() {
    m_TargetInformationGroupBox = new QGroupBox("Intended Target Radio", this);
    m_TargetInformationGroupBox->setGeometry(8, 74, 393, 143);
    QGroupBox* box = m_TargetInformationGroupBox;
    MakeLabel("Radio:", box, 8, 24);
    MakeLabel("Series:", box, 8, 48);
    MakeLabel("Release:", box, 8, 72);
    MakeLabel("Upgrade Type:", box, 8, 96);
    m_TargetRadioLabel = MakeLabel("", box, 88, 24);
    m_TargetSeriesLabel = MakeLabel("", box, 88, 48);
    m_TargetReleaseLabel = MakeLabel("", box, 88, 72);
    m_TargetUpgradeTypeLabel = MakeLabel("", box, 88, 96);

    for (size_t i = 0; i < kPictures.size(); ++i) {
        const QImage image = JpegPicture::Load(kPictures[i].file, kPictures[i].name, kPictureSize);
        auto* picture = new QLabel(box);
        picture->setObjectName(kPictures[i].name);
        picture->setPixmap(QPixmap::fromImage(image));
        picture->setGeometry(224, 16, image.width(), image.height());
        picture->hide();
        pictures_[i] = picture;
    }
}

void MainWindow::BuildTransferGroup() {
    m_CodeUpdateGroupBox = new QGroupBox("Transfer", this);
    m_CodeUpdateGroupBox->setGeometry(8, 222, 393, 179);
    QGroupBox* box = m_CodeUpdateGroupBox;

    MakeLabel("COM:", box, 8, 24);
    m_ComportComboBox = new ComPortComboBox(box);
    m_ComportComboBox->setGeometry(56, 22, 121, 21);
    comPorts_ = new QStandardItemModel(m_ComportComboBox);
    m_ComportComboBox->setModel(comPorts_);
    m_ComportComboBox->setMaxVisibleItems(12);
    connect(m_ComportComboBox, &QComboBox::activated, this, &MainWindow::comPortChosen);
    std::vector<ComPortItem> items;
    items.reserve(kComPortCount);
    for (int n = 1; n <= kComPortCount; ++n) {
        items.push_back({"COM" + QString::number(n), false});
    }
    SetComPortItems(items);

    m_UpgradeTypeLabel = MakeLabel("Upgrade Type:", box, 188, 24);
    m_ApplicationRadioButton = new QRadioButton("Application", box);
    m_ApplicationRadioButton->move(268, 22);
    m_ApplicationRadioButton->adjustSize();
    m_ApplicationRadioButton->setChecked(true);
    m_BootRadioButton = new QRadioButton("Boot", box);
    m_BootRadioButton->move(268, 40);
    m_BootRadioButton->adjustSize();
    SetUpgradeTypeChoiceVisible(false);

    MakeLine(box, 8, 65, 377);
    MakeLabel("Status:", box, 8, 84);
    m_StatusLabel = MakeLabel("Idle", box, 56, 84);

    m_ProgressBar = new QProgressBar(box);
    m_ProgressBar->setGeometry(10, 105, 372, 17);
    m_ProgressBar->setRange(0, 100);
    m_ProgressBar->setValue(0);
    m_ProgressBar->setTextVisible(false);

    m_StartButton = new QPushButton("Start", box);
    m_StartButton->setGeometry(159, 145, 75, 25);
    m_StartButton->setDefault(true);
    connect(m_StartButton, &QPushButton::clicked, this, &MainWindow::startClicked);
}

void MainWindow::BuildVersionGroup() {
    m_TargetVersionInfoGroupBox = new QGroupBox("Target Radio Version Information", this);
    m_TargetVersionInfoGroupBox->setGeometry(412, 30, 273, 283);
    QGroupBox* box = m_TargetVersionInfoGroupBox;
    for (int row = 0; row < kVersionRows; ++row) {
        const int y = 20 + 24 * row;
        versionHeadings_[static_cast<size_t>(row)] =
            MakeLabel(kVersionHeadings[static_cast<size_t>(row)], box, 8, y);
        versionValues_[static_cast<size_t>(row)] = MakeLabel("", box, 144, y);
    }
    MakeLine(box, 8, 192, 257);
    MakeLabel("Corresponding Tessera Version:", box, 8, 200);
    MakeLabel("Corresponding Vernier Version:", box, 8, 224);
    TSRVersionLabel = MakeLabel("<Blank>", box, 200, 200);
    VernierVersionLabel = MakeLabel("<Blank>", box, 200, 224);

    m_RetrieveVersionInfoButton = new QPushButton("&Retrieve", box);
    m_RetrieveVersionInfoButton->setGeometry(99, 250, 75, 25);
    m_RetrieveVersionInfoButton->setAutoDefault(false);
    connect(m_RetrieveVersionInfoButton, &QPushButton::clicked, this, &MainWindow::retrieveClicked);
}

void MainWindow::SetStatus(const std::string& text) {
    SetLabelText(m_StatusLabel, QString::fromStdString(text));
}

QString MainWindow::StatusText() const {
    return m_StatusLabel->text();
}

MessageAnswer MainWindow::ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon, MessageButtons buttons) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
        case MessageIcon::Error:
            boxIcon = QMessageBox::Critical;
            break;
        case MessageIcon::Information:
            boxIcon = QMessageBox::Information;
            break;
        case MessageIcon::Question:
            boxIcon = QMessageBox::Question;
            break;
        case MessageIcon::Warning:
            boxIcon = QMessageBox::Warning;
            break;
    }
    const QMessageBox::StandardButtons standard =
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                         : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(boxIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    standard, this);
    const int answer = box.exec();
    if (buttons == MessageButtons::YesNo) {
        return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

bool MainWindow::AskPassword(std::string& text) {
    PasswordDialog dialog(this);
    dialog.exec();
    if (dialog.Accepted() != 1) {
        text.clear();
        return false;
    }
    text = dialog.GetPasswordText().toStdString();
    return true;
}

void MainWindow::ShowAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::SetProgress(int position, int maximum) {
    m_ProgressBar->setRange(0, maximum > 0 ? maximum : 100);
    m_ProgressBar->setValue(position);
}

int MainWindow::ProgressValue() const {
    return m_ProgressBar->value();
}

void MainWindow::SetNameText(const QString& text) {
    SetLabelText(m_NameLabel, text);
}

QString MainWindow::NameText() const {
    return m_NameLabel->text();
}

void MainWindow::SetTargetLabels(const QString& radio, const QString& series,
                                 const QString& release, const QString& upgradeType) {
    SetLabelText(m_TargetRadioLabel, radio);
    SetLabelText(m_TargetSeriesLabel, series);
    SetLabelText(m_TargetReleaseLabel, release);
    SetLabelText(m_TargetUpgradeTypeLabel, upgradeType);
}

void MainWindow::ShowTargetRadio(const TargetRadioLabels& labels) {
    SetLabelText(m_TargetRadioLabel, QString::fromStdString(labels.model));
    SetLabelText(m_TargetSeriesLabel, QString::fromStdString(labels.series));
    SetLabelText(m_TargetUpgradeTypeLabel, QString::fromStdString(labels.upgradeType));
    SetToolVersions(QString::fromStdString(labels.tesseraVersion),
                    QString::fromStdString(labels.vernierVersion));
}

void MainWindow::ShowNameLabels(const std::string& nameLabel, const std::string& release) {
    SetNameText(QString::fromStdString(nameLabel));
    SetLabelText(m_TargetReleaseLabel, QString::fromStdString(release));
}

void MainWindow::ShowVersionInfo(const std::vector<VersionInfoLine>& lines) {
    for (size_t row = 0; row < lines.size() && row < versionValues_.size(); ++row) {
        SetLabelText(versionHeadings_[row], QString::fromStdString(lines[row].heading));
        SetLabelText(versionValues_[row], QString::fromStdString(lines[row].value));
    }
}

void MainWindow::ShowRunningState(bool running) {
    if (running) {
        ShowRunning(ComPortPosition() + 1);
    } else {
        ShowIdle();
    }
}

void MainWindow::SetToolVersions(const QString& tessera, const QString& vernier) {
    SetLabelText(TSRVersionLabel, tessera);
    SetLabelText(VernierVersionLabel, vernier);
}

QLabel* MainWindow::Picture(RadioPicture picture) const {
    return pictures_[static_cast<size_t>(picture)];
}

void MainWindow::ShowPicture(RadioPicture picture) {
    for (QLabel* label : pictures_) {
        label->setVisible(label == Picture(picture));
    }
}

void MainWindow::SetUpgradeTypeChoiceVisible(bool visible) {
    m_UpgradeTypeLabel->setVisible(visible);
    m_ApplicationRadioButton->setVisible(visible);
    m_BootRadioButton->setVisible(visible);
}

bool MainWindow::BootSelected() const {
    return m_BootRadioButton->isChecked();
}

void MainWindow::SetVersionTexts(const std::array<QString, kVersionRows>& values) {
    for (size_t row = 0; row < values.size(); ++row) {
        SetLabelText(versionValues_[row], values[row]);
    }
}

void MainWindow::SetControllerHeading(bool controller) {
    SetLabelText(versionHeadings_[2],
                 controller ? "Controller Version:" : "HC08 Software Version:");
}

void MainWindow::ToggleVersionPanel() {
    // The widths of the rule count the window's two borders; Qt sizes the client area.
    const int outer = this->width() + kFrameWidth;
    const int width = m_VersionPanelShown
                          ? m_TargetVersionInfoGroupBox->x() + 5 - kFrameWidth
                          : m_TargetVersionInfoGroupBox->width() + outer + 5 - kFrameWidth;
    setFixedSize(width, kClientHeight);
    menuBar_->setGeometry(0, 0, width, kMenuHeight);
    m_VersionPanelShown = !m_VersionPanelShown;
}

void MainWindow::ToggleButtonPressed() {
    ToggleVersionPanel();
    m_ToggleVersionPanelButton->setText(m_VersionPanelShown ? "<<" : ">>");
}

void MainWindow::SetComPortItems(const std::vector<ComPortItem>& items) {
    comPorts_->clear();
    for (const ComPortItem& item : items) {
        auto* row = new QStandardItem(item.text);
        row->setData(item.present, ComPortItemDelegate::kPresentRole);
        comPorts_->appendRow(row);
    }
    m_ComportComboBox->setCurrentIndex(items.empty() ? -1 : 0);
}

int MainWindow::ComPortPosition() const {
    return m_ComportComboBox->currentIndex();
}

void MainWindow::SetComPortPosition(int position) {
    m_ComportComboBox->setCurrentIndex(position);
}

bool MainWindow::ComPortPresent(int position) const {
    const QModelIndex index = m_ComportComboBox->model()->index(position, 0);
    return index.isValid() && index.data(ComPortItemDelegate::kPresentRole).toBool();
}

void MainWindow::ShowRunning(int comNumber) {
    m_StartButton->setText("Stop");
    m_StartButton->setDefault(false);
    m_ComportComboBox->setEnabled(false);
    m_RetrieveVersionInfoButton->setEnabled(false);
    const QString title = QString(kTitle) + " [COM" + QString::number(comNumber) + "]";
    setWindowTitle(title);
    QGuiApplication::setApplicationDisplayName(title);
}

void MainWindow::ShowIdle() {
    m_StartButton->setText("Start");
    m_ComportComboBox->setEnabled(true);
    m_RetrieveVersionInfoButton->setEnabled(true);
    setWindowTitle(kTitle);
    QGuiApplication::setApplicationDisplayName(kTitle);
}

void MainWindow::SetRetrieveEnabled(bool enabled) {
    m_RetrieveVersionInfoButton->setEnabled(enabled);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeQuery_ && !closeQuery_()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace quillon
