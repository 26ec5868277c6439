// Shows one of Parlix's windows or dialogs as a person meets it, for screenshots
// (capture-windows.sh): prints "WINDOW x y w h" once it is on screen and stays until killed.
//   window_gallery <settings-general|settings-text|add-hotword|reset-hotwords|setup|stats|
//                   about|toast|waveform|tray-titles> [--dark]
#include "settings/settings.h"
#include "setup/setup_window_controller.h"
#include "ui/information_dialog.h"
#include "ui/settings_window/settings_window_controller.h"
#include "ui/status_menu_texts.h"
#include "ui/status_title.h"
#include "ui/status_window.h"
#include "ui/waveform_overlay.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <cmath>
#include <cstdio>

// The colours of a common dark desktop theme.
static QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xe8);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x2b));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xd6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8e));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x25, 0x25, 0x28));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1c));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x78, 0x78, 0x7c));
    return p;
}

static void report(QWidget* window)
{
    QTimer::singleShot(500, window, [window] {
        const QRect r = window->frameGeometry();
        const qreal scale = window->devicePixelRatioF();
        std::printf("WINDOW %d %d %d %d\n", int(r.x() * scale), int(r.y() * scale),
            int(std::ceil(r.width() * scale)), int(std::ceil(r.height() * scale)));
        std::fflush(stdout);
    });
}

// The tray titles as they sit on a dark and on a light panel, at 24 and 32 pixels.
class TrayTitles : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const StatusTitle titles[] = {StatusTitle::idle(), StatusTitle::recording(QString()),
            StatusTitle::recording(QStringLiteral("EN")), StatusTitle::recording(QStringLiteral("JA"))};
        const QColor panels[] = {QColor(0x20, 0x20, 0x20), QColor(0xe8, 0xe8, 0xe8)};
        for (int row = 0; row < 2; ++row) {
            painter.fillRect(0, row * 48, width(), 48, panels[row]);
            int x = 8;
            for (int size : {24, 32}) {
                for (const StatusTitle& title : titles) {
                    title.icon().paint(&painter, QRect(x, row * 48 + (48 - size) / 2, size, size));
                    x += size + 8;
                }
                x += 16;
            }
        }
    }
};

// Clicks a button whose dialog runs modally, and reports the dialog once it is up.
static void reportModalAfterClicking(QPushButton* button)
{
    QTimer::singleShot(300, button, [button] {
        QTimer::singleShot(300, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                report(modal);
        });
        button->click();
    });
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (app.arguments().contains(QStringLiteral("--dark")))
        QApplication::setPalette(darkPalette());
    const QString name = app.arguments().value(1);
    Settings& settings = Settings::shared();
    settings.loadDefaultHotwordsIfNeeded();
    settings.setTotalCharactersTyped(1234);
    settings.setTotalRecordingSeconds(871);
    settings.setTotalRecognitions(56);

    std::unique_ptr<SettingsWindowController> settingsWindow;
    std::unique_ptr<SetupWindowController> setup;
    std::unique_ptr<QMessageBox> box;
    std::unique_ptr<StatusWindow> toast;
    std::unique_ptr<WaveformOverlay> waveform;
    if (name.startsWith(QLatin1String("settings")) || name.endsWith(QLatin1String("hotword"))
        || name.endsWith(QLatin1String("hotwords"))) {
        settingsWindow = std::make_unique<SettingsWindowController>(
            [](std::function<void(bool)> done) { QTimer::singleShot(0, [done] { done(true); }); });
        settingsWindow->showWindow();
        if (name != QLatin1String("settings-general"))
            settingsWindow->window()->findChild<QTabWidget*>()->setCurrentIndex(1);
        if (name == QLatin1String("add-hotword"))
            reportModalAfterClicking(
                settingsWindow->window()->findChild<QPushButton*>(QStringLiteral("addButton")));
        else if (name == QLatin1String("reset-hotwords"))
            reportModalAfterClicking(
                settingsWindow->window()->findChild<QPushButton*>(QStringLiteral("resetButton")));
        else
            report(settingsWindow->window());
    } else if (name == QLatin1String("setup")) {
        setup = std::make_unique<SetupWindowController>(nullptr);
        setup->showWindow();
        report(setup->window());
    } else if (name == QLatin1String("stats") || name == QLatin1String("about")) {
        box.reset(name == QLatin1String("stats")
                ? InformationDialog::create(QStringLiteral("使用统计"),
                    statisticsMessage(settings.totalRecordingSeconds(), settings.totalCharactersTyped(),
                        settings.totalRecognitions(), settings.averageCharsPerMinute(),
                        settings.estimatedTimeSavedMinutes()))
                : InformationDialog::create(QStringLiteral("Parlix"), aboutMessage(settings.triggerKey())));
        box->show();
        report(box.get());
    } else if (name == QLatin1String("toast")) {
        toast = std::make_unique<StatusWindow>();
        toast->showStatus(QStringLiteral("翻译超时，输出原文"), QColor(255, 149, 0));
        report(toast.get());
    } else if (name == QLatin1String("waveform")) {
        auto phase = std::make_shared<int>(0);
        waveform = std::make_unique<WaveformOverlay>([phase]() -> std::optional<float> {
            return float(-45 + 40 * std::abs(std::sin(0.5 * ++*phase)));
        });
        waveform->showWaveformWindow();
        QTimer::singleShot(100, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible())
                    report(w);
            }
        });
    } else if (name == QLatin1String("tray-titles")) {
        auto* titles = new TrayTitles;
        titles->setAttribute(Qt::WA_DeleteOnClose);
        titles->setFixedSize(8 + 4 * 32 + 4 * 40 + 32, 96);
        titles->show();
        report(titles);
    } else {
        std::fprintf(stderr, "unknown window %s\n", qPrintable(name));
        return 2;
    }
    return QApplication::exec();
}
