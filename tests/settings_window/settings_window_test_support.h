#pragma once

#include "settings/settings.h"
#include "ui/settings_window/settings_window_controller.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <memory>

// The window on screen as the tray menu opens it, over a fresh store holding `preset`.
struct OpenSettingsWindow {
    std::unique_ptr<SettingsWindowController> controller;

    bool open(const QVariantMap& preset = {}, SettingsWindowController::HealthCheck probe = nullptr)
    {
        for (const QString& key : QSettings(Settings::shared().fileName(), QSettings::NativeFormat).allKeys())
            Settings::shared().remove(key);
        for (auto it = preset.cbegin(); it != preset.cend(); ++it)
            Settings::shared().setRawValue(it.key(), it.value());
        controller = std::make_unique<SettingsWindowController>(std::move(probe));
        controller->showWindow();
        return QTest::qWaitForWindowExposed(controller->window());
    }
    template <class T = QWidget> T* control(const char* name) const
    {
        return controller->window()->findChild<T*>(QString::fromLatin1(name));
    }
    QString status() const { return control<QLabel>("serverStatusLabel")->text(); }
};

// Read through a second handle: what is really on disk.
inline QVariant stored(const QString& key)
{
    return QSettings(Settings::shared().fileName(), QSettings::NativeFormat).value(key);
}

// QTest::keyClicks types Latin-1 only.
inline void replaceText(QWidget* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
