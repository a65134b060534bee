#include "SignedInWindow.h"
#include "XdoTool.h"

#include "RosterRowLayout.h"

#include <QMenuBar>
#include <QPushButton>

using namespace TrackingFixture;

namespace {

// Counts the presses the client's widgets are given.
class PressCount : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType())
            ++count;
        return false;
    }
};

QStringList At(QPoint point)
{
    return { QString::number(point.x()), QString::number(point.y()) };
}

} // namespace

// The frameless main window on a desktop with a window manager, as a member handles it with the
// mouse: its edges and corners resize it, never below what its form needs, and a wider roster
// shows more of the members' names; its title bar moves it; closed and opened again it comes
// back where it was left.
class TestWindowFrame : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "9");
        QVERIFY(m_service.Start({ "--update-version", "" }));
        m_service.PointClientsHere();
        ResetSettings();
        qApp->installEventFilter(&m_presses);
    }

    void init()
    {
        m_s = std::make_unique<SignedInWindow>();
        m_desktop.Install(*m_s->window);
        QVERIFY(m_s->CompleteSignIn());
        QVERIFY(QTest::qWaitForWindowExposed(m_s->window.get()));
    }

    void cleanup() { m_s.reset(); }

    void edgesAndCornersResizeItDownToItsMinimum()
    {
        RosterWindow* window = m_s->window.get();
        window->move(100, 60);
        QTRY_COMPARE(window->pos(), QPoint(100, 60));
        QTRY_COMPARE(OnScreen(), window->geometry());
        const QSize start = window->size();
        const int shownBefore = ShownNameLength(11, 1002);

        // The right edge, 200 pixels out: the cursor says so before the press.
        const QPoint right(window->geometry().right() - 1, window->geometry().center().y());
        QVERIFY(Hover(right, Qt::SizeHorCursor));
        QVERIFY(Drag(right, QPoint(200, 0)));
        QTRY_COMPARE(window->size(), start + QSize(200, 0));
        QCOMPARE(window->pos(), QPoint(100, 60));
        QTRY_VERIFY(ShownNameLength(11, 1002) > shownBefore);

        // The bottom right corner far in: the window stops at its minimum.
        const QPoint corner = window->geometry().bottomRight() - QPoint(1, 1);
        QVERIFY(Hover(corner, Qt::SizeFDiagCursor));
        QVERIFY(Drag(corner, QPoint(-500, -500)));
        QTRY_COMPARE(window->size(), window->minimumSize());
        QVERIFY(window->minimumWidth() >= 576 && window->minimumHeight() >= 661);
        QCOMPARE(window->pos(), QPoint(100, 60));
        // At its minimum every panel is still whole.
        auto* central = Find<QWidget>(*window, "centralwidget");
        for (const char* name : { "leftPanelWidget", "userPanelWidget", "showArea" })
            QVERIFY2(central->rect().contains(Find<QWidget>(*window, name)->geometry()), name);
    }

    void theTitleBarMovesItAndItComesBackWhereItWasLeft()
    {
        RosterWindow* window = m_s->window.get();
        window->move(100, 60);
        QTRY_COMPARE(window->pos(), QPoint(100, 60));
        const QSize size = window->size() + QSize(120, 40);
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        // The window manager has placed and sized it too: its late answer to the move or the
        // resize would pass for the drag's taking the window, and the drag would go unseen.
        QTRY_COMPARE(OnScreen(), window->geometry());

        // Between the title bar's buttons and its end.
        const QPoint title = window->mapToGlobal(QPoint(window->width() / 2, 12));
        QVERIFY(Drag(title, QPoint(150, 90)));
        QTRY_COMPARE(window->pos(), QPoint(250, 150));
        const QRect left = window->geometry();

        auto* close = Find<QPushButton>(*window, "btnClose");
        QVERIFY(xdotool(QStringList { "mousemove" } + At(close->mapToGlobal(close->rect().center()))
            + QStringList { "click", "1" }));
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(SettingsProvider::instance()->GetCurrentSettings().rosterWindowRect, left);

        // The next run of the client.
        m_s = std::make_unique<SignedInWindow>();
        QVERIFY(m_s->CompleteSignIn());
        QVERIFY(QTest::qWaitForWindowExposed(m_s->window.get()));
        QTRY_COMPARE(m_s->window->geometry(), left);
    }

private:
    Qt::CursorShape CursorAt(QPoint global) const
    {
        RosterWindow* window = m_s->window.get();
        QWidget* under = window->childAt(window->mapFromGlobal(global));
        return under ? under->cursor().shape() : Qt::ArrowCursor;
    }

    // Where the window is on the X screen now, as xdotool reads it: the client hears of a move
    // by the window manager only once the move ends.
    QRect OnScreen() const
    {
        QProcess process;
        process.start(
            "xdotool", { "getwindowgeometry", "--shell", QString::number(m_s->window->winId()) });
        process.waitForFinished(10000);
        QMap<QString, int> values;
        const QStringList lines = QString::fromLatin1(process.readAllStandardOutput()).split('\n');
        for (const QString& line : lines)
            values.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
        return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }

    // Moves the pointer to `point`, to and fro by a pixel, until the window shows `cursor` there.
    bool Hover(QPoint point, Qt::CursorShape cursor)
    {
        int step = 0;
        return QTest::qWaitFor([&] {
            step = 1 - step;
            xdotool(QStringList { "mousemove" } + At(point - QPoint(step, step)));
            return CursorAt(point) == cursor;
        });
    }

    // Presses at `from`, moves by `by` and lets go, as a hand does. The window manager takes the
    // drag once the client has passed it on: until a move shows, the pointer goes to and fro.
    bool Drag(QPoint from, QPoint by)
    {
        const QRect before = OnScreen();
        const int presses = m_presses.count;
        if (!xdotool(QStringList { "mousemove" } + At(from) + QStringList { "mousedown", "1" }))
            return false;
        // The client has handled the press, and asked the window manager from where it was.
        if (!QTest::qWaitFor([&] { return m_presses.count > presses; }))
            return false;
        int step = 0;
        const bool taken = QTest::qWaitFor([&] {
            // Beyond the distance a window manager takes for a click rather than a drag.
            step = step % 2 + 1;
            xdotool(QStringList { "mousemove" } + At(from + QPoint(10, 10) * step));
            return OnScreen() != before;
        });
        const bool moved = xdotool(QStringList { "mousemove" } + At(from + by));
        return xdotool({ "mouseup", "1" }) && taken && moved;
    }

    // How many characters of the member's name the roster row shows: as many as fit between
    // the avatar and the worked time (the row's painter elides the rest).
    int ShownNameLength(int team, int member) const
    {
        const QListWidget* list = m_s->list;
        auto* row = m_s->Row(team, member);
        const auto style = ListWidgetManager::ItemStyleOf(list);
        const RosterRowLayout layout
            = RosterRowLayout::ForMember(list->visualItemRect(row), style, false, QSize());
        const QString time = row->data(ListWidgetManager::ROLE_WORKED_TIME).toString();
        const int room = layout.textRight - QFontMetrics(style.timeFont).horizontalAdvance(time) - 8
            - layout.textLeft;
        const QString name = row->data(Qt::DisplayRole).toString();
        const QString shown = QFontMetrics(style.nameFont).elidedText(name, Qt::ElideRight, room);
        return shown == name ? name.size() : shown.size() - 1;
    }

    FakeServiceProcess m_service;
    FakeDesktop m_desktop;
    PressCount m_presses;
    std::unique_ptr<SignedInWindow> m_s;
};

QTEST_MAIN(TestWindowFrame)
#include "tst_windowframe.moc"
