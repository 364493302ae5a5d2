#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/core/UpdaterView.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStandardItemModel;
class QToolButton;

namespace quillon {

// One line of the COM port list: its text and whether the last refresh found the port.
struct ComPortItem {
    QString text;
    bool present = false;
};

// The main window: the build's target radio, the COM port list, status line, progress bar and
// Start button, and the version panel on the right. It holds no update logic: the controller
// reads and sets it through the members below and listens to its signals. In window mode it is
// also the view the logic reports through.
class MainWindow : public QWidget, public UpdaterView {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 688;
    static constexpr int kClientHeight = 409;
    static constexpr int kComPortCount = 255;
    static constexpr int kVersionRows = 7;
    // The window's two 4-pixel borders, which the widths of the panel toggle include.
    static constexpr int kFrameWidth = 8;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // UpdaterView: the window's side. No console in window mode.
    bool ConsoleMode() const override { return false; }
    void SetStatus(const std::string& text) override;
    void WriteConsole(const std::string&) override {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void SetProgress(int position, int maximum) override;

    // The password dialog, shown modally over the window: true when it was closed with OK, with
    // the typed text (blanks and control characters removed at both ends) in text. The text is
    // not checked here.
    bool AskPassword(std::string& text) override;
    // The About box, shown modally.
    void ShowAbout();

    // Build labels and picture (set once at start-up).
    void SetNameText(const QString& text);
    QString NameText() const;
    void SetTargetLabels(const QString& radio, const QString& series, const QString& release,
                         const QString& upgradeType);
    void SetToolVersions(const QString& tessera, const QString& vernier);
    void ShowPicture(RadioPicture picture);
    void ShowRadioPicture(RadioPicture picture) override { ShowPicture(picture); }
    // The view's side of the labels, the version panel and the running marks.
    void ShowTargetRadio(const TargetRadioLabels& labels) override;
    void ShowNameLabels(const std::string& nameLabel, const std::string& release) override;
    void ShowVersionInfo(const std::vector<VersionInfoLine>& lines) override;
    void ShowRunningState(bool running) override;
    // The choice between application and boot code, for builds that offer it.
    void SetUpgradeTypeChoiceVisible(bool visible);
    bool BootSelected() const;

    // The version panel: the seven value texts in the order of the headings, and the heading of
    // the third row ("HC08 Software Version:" or "Controller Version:").
    void SetVersionTexts(const std::array<QString, kVersionRows>& values);
    void SetControllerHeading(bool controller);
    void ToggleVersionPanel();
    bool VersionPanelShown() const { return m_VersionPanelShown; }

    // The COM port list: 255 items, position n-1 for COM n.
    void SetComPortItems(const std::vector<ComPortItem>& items);
    int ComPortPosition() const;
    void SetComPortPosition(int position);
    bool ComPortPresent(int position) const;

    // What the window looks like while an update runs (Stop caption, list and Retrieve
    // disabled, the COM number in the title) and at rest.
    void ShowRunning(int comNumber);
    void ShowIdle();
    void SetRetrieveEnabled(bool enabled);
    QString StatusText() const;
    int ProgressValue() const;

    // Asked when the window is about to close; the window closes only when it returns true.
    // Without a hook the window always closes.
    void SetCloseQuery(std::function<bool()> canClose) { closeQuery_ = std::move(canClose); }

    // The controls, for binding and for tests.
    QMenuBar* MenuBar() const { return menuBar_; }
    QAction* UpdateComPortsAction() const { return m_UpdateCOMPortsMenuItem; }
    QAction* ExitAction() const { return m_FileExitMenuItem; }
    QAction* AboutAction() const { return m_HelpAboutMenuItem; }
    QToolButton* ToggleButton() const { return m_ToggleVersionPanelButton; }
    QLabel* NameLabel() const { return m_NameLabel; }
    QGroupBox* TargetGroup() const { return m_TargetInformationGroupBox; }
    QGroupBox* TransferGroup() const { return m_CodeUpdateGroupBox; }
    QGroupBox* VersionGroup() const { return m_TargetVersionInfoGroupBox; }
    QComboBox* ComPortCombo() const { return m_ComportComboBox; }
    QLabel* UpgradeTypeLabel() const { return m_UpgradeTypeLabel; }
    QRadioButton* ApplicationRadio() const { return m_ApplicationRadioButton; }
    QRadioButton* BootRadio() const { return m_BootRadioButton; }
    QLabel* StatusLabel() const { return m_StatusLabel; }
    QProgressBar* ProgressBar() const { return m_ProgressBar; }
    QPushButton* StartButton() const { return m_StartButton; }
    QPushButton* RetrieveButton() const { return m_RetrieveVersionInfoButton; }
    QLabel* Picture(RadioPicture picture) const;
    QLabel* VersionValue(int row) const { return versionValues_[static_cast<size_t>(row)]; }
    QLabel* VersionHeading(int row) const { return versionHeadings_[static_cast<size_t>(row)]; }

signals:
    void startClicked();
    void retrieveClicked();
    void updateComPortsRequested();
    void aboutRequested();
    // The user chose another item of the COM port list.
    void comPortChosen(int position);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildTargetGroup();
    void BuildTransferGroup();
    void BuildVersionGroup();
    void ToggleButtonPressed();

    bool m_VersionPanelShown = true;
    std::function<bool()> closeQuery_;

    QMenuBar* menuBar_;
    QAction* m_UpdateCOMPortsMenuItem;
    QAction* m_FileExitMenuItem;
    QAction* m_HelpAboutMenuItem;
    QToolButton* m_ToggleVersionPanelButton;
    QLabel* m_NameLabel;

    QGroupBox* m_TargetInformationGroupBox;
    QLabel* m_TargetRadioLabel;
    QLabel* m_TargetSeriesLabel;
    QLabel* m_TargetReleaseLabel;
    QLabel* m_TargetUpgradeTypeLabel;
    std::array<QLabel*, 4> pictures_{};

    QGroupBox* m_CodeUpdateGroupBox;
    QComboBox* m_ComportComboBox;
    QStandardItemModel* comPorts_;
    QLabel* m_UpgradeTypeLabel;
    QRadioButton* m_ApplicationRadioButton;
    QRadioButton* m_BootRadioButton;
    QLabel* m_StatusLabel;
    QProgressBar* m_ProgressBar;
    QPushButton* m_StartButton;

    QGroupBox* m_TargetVersionInfoGroupBox;
    std::array<QLabel*, kVersionRows> versionHeadings_{};
    std::array<QLabel*, kVersionRows> versionValues_{};
    QLabel* TSRVersionLabel;
    QLabel* VernierVersionLabel;
    QPushButton* m_RetrieveVersionInfoButton;
};

}  // namespace quillon
