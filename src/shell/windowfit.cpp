#include "shell/windowfit.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace {

// Below this the window would be all scroll bars; a screen this small is not worth serving.
constexpr QSize smallestClient(160, 120);
// An arrow of a scroll bar (and a wheel step, three of them) moves this part of the visible area.
constexpr int arrowStepsPerPage = 20;

// How far a stretch [start, start + length) must move so that it shows in [0, room): the least
// that brings its end in, but never so far that its start leaves.
int shiftIntoView(int start, int length, int room) {
    if (start < 0)
        return start;
    if (start + length > room)
        return qMin(start + length - room, start);
    return 0;
}

} // namespace

WindowFit::WindowFit(QWidget *window, const QSize &designed)
    : QObject(window), m_window(window), m_designed(designed),
      m_horizontal(new QScrollBar(Qt::Horizontal, window)), m_vertical(new QScrollBar(Qt::Vertical, window)),
      m_corner(new QWidget(window)) {
    m_horizontal->setObjectName(QStringLiteral("windowHorizontalBar"));
    m_vertical->setObjectName(QStringLiteral("windowVerticalBar"));
    m_corner->setAutoFillBackground(true);
    for (QWidget *const part :
         {static_cast<QWidget *>(m_horizontal), static_cast<QWidget *>(m_vertical), m_corner}) {
        part->setFocusPolicy(Qt::NoFocus); // the keyboard stays with the controls
        part->hide();
    }
    const auto scrolled = [this] { scrollTo(QPoint(m_horizontal->value(), m_vertical->value())); };
    connect(m_horizontal, &QScrollBar::valueChanged, this, scrolled);
    connect(m_vertical, &QScrollBar::valueChanged, this, scrolled);
    // A control reached with the keyboard is brought into view. One clicked is already in view, and
    // moving it under the mouse between press and release would lose the click; and the window,
    // when it opens or is activated again, shows what it showed, from its top left corner at first.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *before, QWidget *now) {
        if (now && now != m_window && now->window() == m_window && before && before->window() == m_window &&
            !isOwnPart(now) && QGuiApplication::mouseButtons() == Qt::NoButton)
            ensureVisible(now);
    });
    m_window->installEventFilter(this);
    screenFollow(m_window->screen());
    fit(false);
}

void WindowFit::setDesignedSize(const QSize &designed) {
    m_designed = designed;
    fit(true);
}

QRect WindowFit::freeArea(const QWidget *window) {
    const QWindow *const handle = window->windowHandle();
    const QScreen *const screen = handle ? handle->screen() : window->screen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins WindowFit::frameMargins(const QWidget *window) {
    const QWindow *const handle = window->windowHandle();
    if (handle && (handle->isExposed() || !handle->frameMargins().isNull()))
        return handle->frameMargins();
    // Before the window shows, some platforms cannot tell its frame yet: a title bar and thin
    // borders are assumed, and the window is fitted again once the frame is known.
    const QStyle *const style = window->style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    return {border, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + border, border, border};
}

void WindowFit::placeInside(QWidget *window, QPoint frameTopLeft, const QRect &area) {
    if (area.isEmpty())
        return;
    const QSize frame = window->size().grownBy(frameMargins(window));
    // Right and bottom edges first, then left and top, which win where the frame is the larger.
    frameTopLeft.setX(qMax(area.left(), qMin(frameTopLeft.x(), area.right() + 1 - frame.width())));
    frameTopLeft.setY(qMax(area.top(), qMin(frameTopLeft.y(), area.bottom() + 1 - frame.height())));
    if (frameTopLeft != window->frameGeometry().topLeft())
        window->move(frameTopLeft); // a window's position is its frame's
}

void WindowFit::centre() {
    fit(false);
    const QRect area = freeArea(m_window);
    const QSize frame = m_window->size().grownBy(frameMargins(m_window));
    placeInside(m_window,
                area.topLeft() +
                    QPoint((area.width() - frame.width()) / 2, (area.height() - frame.height()) / 2),
                area);
}

void WindowFit::fit(bool place) {
    const QRect area = freeArea(m_window);
    if (area.isEmpty())
        return;
    m_marginsUsed = frameMargins(m_window);
    const QSize room = area.size().shrunkBy(m_marginsUsed).expandedTo(smallestClient);
    // A bar needed in one direction takes room from the other, which may then need its bar too.
    const int extent = m_window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_vertical);
    bool across = m_designed.width() > room.width();
    bool down = m_designed.height() > room.height();
    down = down || (across && m_designed.height() + extent > room.height());
    across = across || (down && m_designed.width() + extent > room.width());
    // The window keeps a fixed size: its controls cannot use more room than designed.
    const QSize wanted(m_designed.width() + (down ? extent : 0), m_designed.height() + (across ? extent : 0));
    const QSize before = m_window->size();
    m_window->setFixedSize(wanted.boundedTo(room));
    barsPlace();
    // Where the operator put the window stays theirs (a drag to another screen is not fought)
    // unless its size or the screen's free area or scale changed.
    if (place || m_window->size() != before)
        placeInside(m_window, m_window->frameGeometry().topLeft(), area);
}

void WindowFit::fitLater(bool place) {
    m_placePending = m_placePending || place;
    if (m_fitPending)
        return;
    m_fitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fitPending = false;
            fit(std::exchange(m_placePending, false));
        },
        Qt::QueuedConnection);
}

void WindowFit::barsPlace() {
    const int extent = m_window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_vertical);
    const QSize size = m_window->size();
    bool across = m_designed.width() > size.width();
    bool down = m_designed.height() > size.height();
    down = down || (across && m_designed.height() > size.height() - extent);
    across = across || (down && m_designed.width() > size.width() - extent);
    m_view = QSize(size.width() - (down ? extent : 0), size.height() - (across ? extent : 0));

    m_horizontal->setRange(0, qMax(0, m_designed.width() - m_view.width()));
    m_horizontal->setPageStep(m_view.width());
    m_vertical->setRange(0, qMax(0, m_designed.height() - m_view.height()));
    m_vertical->setPageStep(m_view.height());
    for (QScrollBar *const bar : {m_horizontal, m_vertical})
        bar->setSingleStep(qMax(1, bar->pageStep() / arrowStepsPerPage));
    m_horizontal->setGeometry(0, m_view.height(), m_view.width(), extent);
    m_vertical->setGeometry(m_view.width(), 0, extent, m_view.height());
    m_corner->setGeometry(m_view.width(), m_view.height(), extent, extent);
    m_horizontal->setVisible(across);
    m_vertical->setVisible(down);
    m_corner->setVisible(across && down);
    for (QWidget *const part :
         {static_cast<QWidget *>(m_horizontal), static_cast<QWidget *>(m_vertical), m_corner})
        part->raise(); // above the controls they scroll
    scrollTo(QPoint(m_horizontal->value(), m_vertical->value()));
}

void WindowFit::scrollTo(const QPoint &offset) {
    const QPoint step = offset - m_offset;
    if (step.isNull())
        return;
    m_offset = offset;
    for (QWidget *const child : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !isOwnPart(child))
            child->move(child->pos() - step);
    }
}

void WindowFit::ensureVisible(const QWidget *control) {
    if (!m_horizontal->isVisible() && !m_vertical->isVisible())
        return;
    const QRect place(control->mapTo(m_window, QPoint()), control->size());
    m_horizontal->setValue(m_horizontal->value() + shiftIntoView(place.x(), place.width(), m_view.width()));
    m_vertical->setValue(m_vertical->value() + shiftIntoView(place.y(), place.height(), m_view.height()));
}

void WindowFit::screenFollow(QScreen *screen) {
    if (m_screen == screen)
        return;
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (!screen)
        return;
    // A panel docked or removed, the resolution or the scale changed.
    const auto changed = [this] { fitLater(true); };
    connect(screen, &QScreen::availableGeometryChanged, this, changed);
    connect(screen, &QScreen::geometryChanged, this, changed);
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, changed);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, changed);
}

bool WindowFit::isOwnPart(const QWidget *w) const {
    return w == m_horizontal || w == m_vertical || w == m_corner;
}

bool WindowFit::eventFilter(QObject *watched, QEvent *event) {
    QWindow *const handle = m_window->windowHandle();
    switch (event->type()) {
    case QEvent::Show:
        if (watched == m_window && !m_shown && handle) {
            // Now that the window has its place on a screen, and most platforms know its frame.
            m_shown = true;
            connect(handle, &QWindow::screenChanged, this, [this](QScreen *screen) {
                screenFollow(screen);
                fitLater(false);
            });
            handle->installEventFilter(this);
            screenFollow(handle->screen());
            centre();
        }
        break;
    case QEvent::Expose:
    case QEvent::Move:
    case QEvent::Resize:
        // Some platforms learn the frame only once the window is on the screen.
        if (m_shown && frameMargins(m_window) != m_marginsUsed)
            fitLater(true);
        break;
    case QEvent::Wheel:
        // A wheel turned over the window, or over a control that does not use it, scrolls.
        if (watched == m_window && (m_vertical->isVisible() || m_horizontal->isVisible())) {
            const QPoint delta = static_cast<QWheelEvent *>(event)->angleDelta();
            const bool across = !m_vertical->isVisible() || qAbs(delta.x()) > qAbs(delta.y());
            QCoreApplication::sendEvent(across ? m_horizontal : m_vertical, event);
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
