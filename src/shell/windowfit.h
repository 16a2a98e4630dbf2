#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class QScreen;
class QScrollBar;
class QWidget;

// Keeps a window whose controls have fixed places wholly on the screen it is on. Where its designed
// client area fits the screen's free area (what panels and the taskbar leave) at the screen's scale,
// the window has exactly that fixed size; where it does not, the window is as large as fits, and
// scroll bars of its own move its controls, which keep their designed places and sizes among
// themselves. It follows the window to another screen and changes of the scale or the free area.
class WindowFit : public QObject {
    Q_OBJECT
public:
    WindowFit(QWidget *window, const QSize &designed);

    void setDesignedSize(const QSize &designed);
    QSize designedSize() const { return m_designed; }
    // Centres the window's frame on the free area of its screen, wholly inside it.
    void centre();

    // The free area of the screen the window is on, and the size of its frame around the client.
    static QRect freeArea(const QWidget *window);
    static QMargins frameMargins(const QWidget *window);
    // Moves a window so that its frame, whose top left corner would be at frameTopLeft, lies wholly
    // inside area (the top left corner, with the title bar, first where it cannot).
    static void placeInside(QWidget *window, QPoint frameTopLeft, const QRect &area);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit(bool place); // place: also keep the frame inside the free area
    void fitLater(bool place);
    void barsPlace();
    void scrollTo(const QPoint &offset);
    void ensureVisible(const QWidget *control);
    void screenFollow(QScreen *screen);
    bool isOwnPart(const QWidget *w) const;

    QWidget *m_window;
    QSize m_designed;
    QPoint m_offset; // how far the controls are scrolled from their designed places
    QSize m_view;    // the part of the client area the bars leave to the controls
    QScrollBar *m_horizontal;
    QScrollBar *m_vertical;
    QWidget *m_corner; // fills the square between the two bars
    QMargins m_marginsUsed;
    QPointer<QScreen> m_screen;
    bool m_shown = false;
    bool m_fitPending = false;
    bool m_placePending = false;
};
