#pragma once

#include "settings/settings.h"
#include "ui/settings_window/settings_window_controller.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <QComboBox>

#include <functional>
#include <memory>

// What a person's hands and eyes do with the settings window and its dialogs.
namespace SettingsWindowTestSupport {

inline const QColor kGreen(0x1e, 0x8e, 0x3e);
inline const QColor kOrange(0xe3, 0x74, 0x00);
inline const QColor kRed(0xd9, 0x30, 0x25);
inline const QColor kSecondary(0x6e, 0x6e, 0x73);

// A controller with its window on screen, the way the tray menu opens it.
struct OpenSettingsWindow {
    std::unique_ptr<SettingsWindowController> controller;

    bool open(SettingsWindowController::HealthCheck probe = nullptr)
    {
        controller = std::make_unique<SettingsWindowController>(std::move(probe));
        return reopen();
    }
    bool reopen()
    {
        controller->showWindow();
        return QTest::qWaitForWindowExposed(controller->window());
    }
    template <class T>
    T* control(const char* name) const
    {
        return controller->window()->findChild<T*>(QString::fromLatin1(name));
    }
};

// Stands in for the local server's health probe: answers only when the test says so.
struct FakeHealthCheck {
    std::shared_ptr<QList<std::function<void(bool)>>> pending = std::make_shared<QList<std::function<void(bool)>>>();

    SettingsWindowController::HealthCheck probe() const
    {
        return [list = pending](std::function<void(bool)> completion) { list->append(std::move(completion)); };
    }
};

inline void skipWithoutDesktop()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("DISPLAY is not set: run inside tests/tools/test-session.sh");
}

// Forgets every stored setting, so each case starts from a fresh installation.
inline void clearSettings()
{
    QSettings file(Settings::shared().fileName(), QSettings::NativeFormat);
    for (const QString& key : file.allKeys())
        Settings::shared().remove(key);
}

// The value on disk, read through a separate handle on the same file.
inline QVariant stored(const QString& key)
{
    QSettings file(Settings::shared().fileName(), QSettings::NativeFormat);
    return file.value(key);
}

// Runs `act` on the next modal dialog as soon as it is up (it may not exist yet when a
// click is about to open it and block in its own event loop).
inline void whenModalAppears(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}

// QTest::keyClicks only types Latin-1; this types any text, one key event per character.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

inline void replaceText(QWidget* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    typeText(field, text);
}

inline QPushButton* buttonWithText(QWidget* root, const QString& text)
{
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// A click on the check box's indicator, where a click always counts.
inline void clickCheckBox(QWidget* checkBox)
{
    QTest::mouseClick(checkBox, Qt::LeftButton, Qt::NoModifier, QPoint(6, checkBox->height() / 2));
}

inline void choose(QComboBox* popup, int index)
{
    popup->setFocus();
    QTest::keyClick(popup, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(popup, Qt::Key_Down);
}

inline QColor textColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace SettingsWindowTestSupport
