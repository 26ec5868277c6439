#include "status_window.h"

#include "text/character_count.h"
#include "ui/overlay_support.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr int kTopInset = 48; // bottom edge 80 px below the screen top, minus the height
const QColor kBackground = QColor::fromRgbF(0.1f, 0.1f, 0.15f, 0.9f);
} // namespace

StatusWindow::StatusWindow(QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
{
    makeOverlayWindow(this);
    setGeometry(topCentredRect(primaryScreenFrame(), kMinimumWidth, kMinimumWidth, kHeight, kTopInset));

    QFont font = m_label->font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->addWidget(m_label);
    setFixedSize(kMinimumWidth, kHeight);
    setTextColor(Qt::white);
}

int StatusWindow::widthForMessage(const QString& message)
{
    const qsizetype width = characterCount(message) * 14 + 30;
    return int(std::clamp<qsizetype>(width, kMinimumWidth, QWIDGETSIZE_MAX));
}

void StatusWindow::showStatus(const QString& message, const QColor& color)
{
    m_text = message;
    setTextColor(color);

    // The left edge stays put, so a long message grows to the right; only a message too
    // long for the rest of the screen moves left (and, wider than the screen, is elided)
    // rather than running off the edge.
    const QRect screen = primaryScreenFrame();
    const QRect home = topCentredRect(screen, kMinimumWidth, kMinimumWidth, kHeight, kTopInset);
    const int width = std::min(widthForMessage(message), screen.width());
    const int x = std::max(screen.x(), std::min(home.x(), screen.x() + screen.width() - width));
    setFixedSize(width, kHeight);
    move(x, home.y());

    const QMargins margins = layout()->contentsMargins();
    const int room = width - margins.left() - margins.right();
    m_label->setText(m_label->fontMetrics().elidedText(message, Qt::ElideRight, room));
    show();
    raise();
}

void StatusWindow::hideAfterDelay(double seconds)
{
    const double ms = seconds > 0 ? std::round(seconds * 1000) : 0;
    QTimer::singleShot(int(std::min(ms, double(INT_MAX))), Qt::PreciseTimer, this, &StatusWindow::orderOut);
}

void StatusWindow::orderOut()
{
    hide();
}

void StatusWindow::setTextColor(const QColor& color)
{
    m_textColor = color;
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, color);
    m_label->setPalette(palette);
}

QString StatusWindow::text() const
{
    return m_text;
}

QColor StatusWindow::textColor() const
{
    return m_textColor;
}

void StatusWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBackground);
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
}
