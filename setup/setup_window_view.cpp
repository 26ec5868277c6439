#include "setup/setup_window_view.h"

#include "settings/settings.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <cmath>

static constexpr int kWidth = 500;
static constexpr int kHeight = 320;

// The layout is given with the origin at the bottom left; Qt's is at the top left.
static QRect frame(int x, int y, int width, int height)
{
    return QRect(x, kHeight - y - height, width, height);
}

static QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    // Text fields draw from the top of their frame; a second line is clipped, not centred.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

static void setFont(QWidget* widget, int pixelSize, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    widget->setFont(font);
}

// Secondary and tertiary label colours: the text colour, faded.
static void fadeText(QLabel* label, double alpha)
{
    QPalette palette = label->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(alpha);
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

SetupWindowView::SetupWindowView()
    : m_window(std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint))
{
    QWidget* w = m_window.get();
    w->setObjectName(QStringLiteral("setupWindow"));
    w->setWindowTitle(QStringLiteral("Parlix 设置"));
    w->setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        w->move(available.center() - QPoint(kWidth / 2, kHeight / 2));
    }

    auto* title = makeLabel(w, QStringLiteral("欢迎使用 Parlix"), frame(30, 260, 440, 30));
    setFont(title, 20, QFont::Bold);

    const TriggerKey trigger = Settings::shared().triggerKey();
    const QString note = visibilityNote(trigger);
    const QString hint = note.isEmpty()
        ? QStringLiteral("按住 ") + shortName(trigger) + QStringLiteral(" 键说话，松开自动识别并输入文字")
        : note;
    auto* hintLabel = makeLabel(w, hint, frame(30, 225, 440, 20));
    setFont(hintLabel, 13, QFont::Normal);
    fadeText(hintLabel, 0.55);

    makeLabel(w, QStringLiteral("识别模式:"), frame(30, 180, 80, 20));

    modeSelector = new QComboBox(w);
    modeSelector->setObjectName(QStringLiteral("modeSelector"));
    modeSelector->setGeometry(frame(115, 178, 350, 26));
    modeSelector->addItem(QStringLiteral("本地模式（推荐）- 首次需下载 ~2GB 模型"));
    modeSelector->addItem(QStringLiteral("远程模式 - 连接已部署的服务器"));
    modeSelector->setCurrentIndex(0);

    statusLabel = makeLabel(w, QStringLiteral("选择模式后点击开始"), frame(30, 130, 440, 22));
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    setFont(statusLabel, 14, QFont::Medium);

    progressBar = new QProgressBar(w);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setGeometry(frame(30, 100, 440, 20));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 0); // indeterminate until a percentage arrives
    progressBar->hide();

    detailLabel = makeLabel(w, QString(), frame(30, 75, 440, 18));
    detailLabel->setObjectName(QStringLiteral("detailLabel"));
    setFont(detailLabel, 11, QFont::Normal);
    fadeText(detailLabel, 0.35);

    actionButton = new QPushButton(QStringLiteral("开始设置"), w);
    actionButton->setObjectName(QStringLiteral("actionButton"));
    actionButton->setGeometry(frame(380, 20, 100, 32));
    actionButton->setDefault(true);

    skipButton = new QPushButton(QStringLiteral("稍后设置"), w);
    skipButton->setObjectName(QStringLiteral("skipButton"));
    skipButton->setGeometry(frame(280, 20, 90, 32));

    // A plain window has no default button; Return must reach the main button wherever
    // the focus is, as the pop-up ignores it.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), w);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, w, [this] { pressActionButton(); });
    }
}

SetupWindowView::~SetupWindowView() = default;

void SetupWindowView::pressActionButton()
{
    if (actionButton->isEnabled() && actionButton->isVisible())
        actionButton->click();
}

void SetupWindowView::setBarDeterminate(double percent)
{
    progressBar->setRange(0, 100);
    progressBar->setValue(int(std::lround(std::clamp(percent, 0.0, 100.0))));
}

void SetupWindowView::setBarIndeterminate()
{
    progressBar->setRange(0, 0);
}
