#include "../DesignFont.h"
#include "PreviewWidget.h"
#include "popupWindow.h"

#include "SettingsProvider.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Records the sounds instead of playing them.
class RecordingPopup : public popupWindow
{
public:
    QList<QUrl> played;

protected:
    void PlaySoundSource(const QUrl& source) override { played << source; }
};

// Timers are never left to run: the intervals are far beyond the test's life and every tick
// is a direct call of the timer's slot.
const int neverMs = 3600 * 1000;

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

QTimer* timer(popupWindow& popup, const char* name)
{
    return popup.findChild<QTimer*>(QLatin1String(name));
}

template<typename T> T* part(popupWindow& popup, const char* name)
{
    T* widget = popup.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("No child named %s", name);
    return widget;
}

bool showShot(popupWindow& popup, int lifeTimeMs = 2000)
{
    QPixmap shot(64, 48);
    shot.fill(Qt::darkCyan);
    return popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
        QStringLiteral("Editor"), shot, lifeTimeMs, neverMs);
}

// Ticks the slide until the popup stops rising; returns whether it arrived.
bool riseUntilUp(popupWindow& popup)
{
    for (int i = 0; i < 500; ++i) {
        const int before = popup.y();
        popup.AnimationEvent();
        if (popup.y() == before)
            return true;
    }
    return false;
}

bool fallUntilHidden(popupWindow& popup)
{
    for (int i = 0; i < 500 && popup.isVisible(); ++i)
        popup.AnimationEvent();
    return !popup.isVisible();
}

PreviewWidget* openPreview()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        auto* preview = qobject_cast<PreviewWidget*>(w);
        if (preview && preview->isVisible())
            return preview;
    }
    return nullptr;
}

void setSound(int mode, const QString& ownPath = QString())
{
    SettingsProvider::SETTINGS s = SettingsProvider::instance()->GetCurrentSettings();
    s.soundMode = mode;
    s.ownSoundPath = ownPath;
    SettingsProvider::instance()->SetCurrentSettings(s);
}

// Notes the region each widget of a window is asked to paint.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(QWidget& window)
    {
        window.installEventFilter(this);
        for (QWidget* child : window.findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    QMap<QString, QRegion> painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted[watched->objectName()] += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

void paintPending()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

// Stands in for the browser.
class UrlSink : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class tst_PopupWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lifetimeRunsOutInOneClose();
    void discardSuppressesClose();
    void previewClickClosesOnce();
    void countdownTickRepaintsOnlyTheBall_data();
    void countdownTickRepaintsOnlyTheBall();
    void hidingTwiceClosesOnce();
    void showWhileVisibleChangesNothing();
    void spontaneousHideIsNoClose();
    void textAndMemoKindsNeverClose();
    void linksOpenOnlyForWebPages();
    void soundBySettings();
    void ownSoundOnlyFromASoundFile_data();
    void ownSoundOnlyFromASoundFile();
    void soundWithoutAudioDoesNotBlock();

private:
    UrlSink urls;
    QTemporaryDir sounds;
};

void tst_PopupWindow::initTestCase()
{
    Q_INIT_RESOURCE(Res);
    UseDesignFont();
    for (const char* scheme : { "http", "https", "file", "ftp", "mailto", "javascript", "smb" })
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &urls, "open");
}

void tst_PopupWindow::init()
{
    setSound(0);
    urls.opened.clear();
}

void tst_PopupWindow::cleanup()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_PopupWindow::lifetimeRunsOutInOneClose()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    QSignalSpy discarded(&popup, &popupWindow::OnDiscardButtonClick);

    QCOMPARE(showShot(popup, 3000), false);
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.size(), QSize(247, 143));
    const QRect area = screenArea();
    QVERIFY(popup.y() > area.bottom()); // starts below the screen area
    QVERIFY(timer(popup, "animationTimer")->isActive());

    QVERIFY(riseUntilUp(popup));
    // Rises in steps of 5 and stops at or just above the bottom right corner.
    const int targetY = area.y() + area.height() - 143 - 1;
    QCOMPARE(popup.x(), area.x() + area.width() - 247 - 1);
    QVERIFY(popup.y() <= targetY && popup.y() > targetY - 5);
    QVERIFY(!timer(popup, "animationTimer")->isActive());
    QVERIFY(timer(popup, "liveTimer")->isActive());

    // The countdown shows 3 on arrival, then 2, 1 and 0; the slide down starts one tick later.
    for (int i = 0; i < 3; ++i) {
        popup.PopupTimeLive();
        QVERIFY(!timer(popup, "animationTimer")->isActive());
    }
    popup.PopupTimeLive();
    QVERIFY(timer(popup, "animationTimer")->isActive());

    const int up = popup.y();
    popup.AnimationEvent();
    QCOMPARE(popup.y(), up + 10);
    QVERIFY(fallUntilHidden(popup));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(discarded.count(), 0);
    QVERIFY(!timer(popup, "liveTimer")->isActive());
    QVERIFY(!timer(popup, "animationTimer")->isActive());
}

void tst_PopupWindow::discardSuppressesClose()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    QSignalSpy discarded(&popup, &popupWindow::OnDiscardButtonClick);
    auto* discard = part<QPushButton>(popup, "btnDiscard");

    // On the normal popup the shot is marked and the popup stays for its lifetime.
    showShot(popup);
    QVERIFY(riseUntilUp(popup));
    QTest::mouseClick(discard, Qt::LeftButton);
    QCOMPARE(discarded.count(), 1);
    QVERIFY(part<QLabel>(popup, "lblDiscard_2")->isVisible());
    QVERIFY(!part<QLabel>(popup, "lblLastScreenshot")->isVisible());
    QVERIFY(!discard->isVisible());
    QVERIFY(!timer(popup, "animationTimer")->isActive());
    popup.hide();
    QCOMPARE(closed.count(), 0);

    // In compact mode Discard also closes the preview and slides the popup away.
    showShot(popup);
    QVERIFY(!part<QLabel>(popup, "lblDiscard_2")->isVisible());
    QVERIFY(riseUntilUp(popup));
    QTest::mouseClick(part<QLabel>(popup, "lblLastScreenshot"), Qt::LeftButton);
    QPointer<PreviewWidget> preview = openPreview();
    QVERIFY(preview);
    QTest::mouseClick(discard, Qt::LeftButton);
    QTest::mouseClick(discard, Qt::LeftButton);
    QCOMPARE(discarded.count(), 2);
    QVERIFY(!preview->isVisible());
    QVERIFY(fallUntilHidden(popup));
    QCOMPARE(closed.count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(preview.isNull());
}

void tst_PopupWindow::previewClickClosesOnce()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    showShot(popup);
    QVERIFY(riseUntilUp(popup));
    popup.PopupTimeLive();

    // The popup shows a thumbnail; the preview shows the full picture its source gives.
    QImage full(640, 400, QImage::Format_RGB32);
    full.fill(Qt::darkRed);
    popup.SetPreviewPicture([full] { return full; });
    QTest::mouseClick(part<QLabel>(popup, "lblLastScreenshot"), Qt::LeftButton);
    QPointer<PreviewWidget> preview = openPreview();
    QVERIFY(preview);
    QCOMPARE(preview->grab().toImage().pixel(preview->width() / 4, preview->height() / 4),
        QColor(Qt::darkRed).rgb());
    // Compact: 80 wide, moved to the corner at once, with a fresh 12 s lifetime.
    const QRect area = screenArea();
    QCOMPARE(popup.size(), QSize(80, 143));
    QCOMPARE(
        popup.pos(), QPoint(area.x() + area.width() - 80 - 1, area.y() + area.height() - 143 - 1));
    for (int i = 0; i < 12; ++i)
        popup.PopupTimeLive();
    QVERIFY(!timer(popup, "animationTimer")->isActive());
    QCOMPARE(closed.count(), 0);

    QTest::mouseClick(preview, Qt::RightButton);
    QVERIFY(timer(popup, "animationTimer")->isActive());
    QCOMPARE(closed.count(), 0);
    QVERIFY(fallUntilHidden(popup));
    QCOMPARE(closed.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(preview.isNull());

    // The next screenshot popup has its normal shape back.
    showShot(popup);
    QCOMPARE(popup.size(), QSize(247, 143));
    QVERIFY(part<QLabel>(popup, "lblLastScreenshot")->isVisible());
    QCOMPARE(part<QLabel>(popup, "lblClose")->pos(), QPoint(222, 9));
}

void tst_PopupWindow::countdownTickRepaintsOnlyTheBall_data()
{
    QTest::addColumn<bool>("compact");
    QTest::newRow("with its thumbnail") << false;
    QTest::newRow("compact, its preview open") << true;
}

// A tick changes the seconds alone: the pictures and texts around the ball are not painted
// again, the ball and its seconds are.
void tst_PopupWindow::countdownTickRepaintsOnlyTheBall()
{
    QFETCH(bool, compact);
    RecordingPopup popup;
    showShot(popup, 5000);
    QVERIFY(riseUntilUp(popup));
    if (compact)
        QTest::mouseClick(part<QLabel>(popup, "lblLastScreenshot"), Qt::LeftButton);
    paintPending();

    PaintRecorder recorder(popup);
    popup.PopupTimeLive();
    paintPending();

    // The window and the page under the ball paint their part of it too; nothing else does.
    QStringList painted = recorder.painted.keys();
    painted.removeAll(QStringLiteral("page"));
    painted.removeAll(popup.objectName());
    QCOMPARE(painted, QStringList { QStringLiteral("stackedWidget") });
    const QRegion region = recorder.painted.value(QStringLiteral("stackedWidget"));
    const QSize ball = QPixmap(QStringLiteral(":/design/popupBall.png")).size();
    const QPoint ballAt = compact ? QPoint(popup.width() / 2 - ball.width() / 2, 50)
                                  : QPoint(44, 50);
    QVERIFY(region.contains(QRect(ballAt, ball)));
    QVERIFY(region.boundingRect().width() * 2 < popup.width() || compact);
    QVERIFY(region.boundingRect().height() * 2 < popup.height());
}

void tst_PopupWindow::hidingTwiceClosesOnce()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    showShot(popup);
    popup.hide();
    popup.show();
    popup.hide();
    popup.show();
    popup.close();
    QCOMPARE(closed.count(), 1);

    // The owner's save runs inside the emission; hiding again from there adds nothing.
    connect(&popup, &popupWindow::OnPopupWindowClose, &popup, [&popup] {
        popup.show();
        popup.hide();
    });
    showShot(popup);
    popup.hide();
    QCOMPARE(closed.count(), 2);
}

void tst_PopupWindow::showWhileVisibleChangesNothing()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    showShot(popup);
    QVERIFY(riseUntilUp(popup));
    auto* caption = part<QLabel>(popup, "lblCaption");
    auto* text = part<QLabel>(popup, "lblPopupText");
    const QString captionBefore = caption->text();
    const QPoint posBefore = popup.pos();

    QCOMPARE(popup.ShowPopup(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("notice"),
                 1000, 5, false),
        true);
    QCOMPARE(popup.ShowPopup(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("memo"),
                 QStringLiteral("Memo..."), 1000, 15),
        true);
    QPixmap other(8, 8);
    QCOMPARE(popup.ShowPopup(
                 QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("w"), other, 1000, 2),
        true);

    QCOMPARE(caption->text(), captionBefore);
    QVERIFY(!text->isVisible());
    QCOMPARE(part<QStackedWidget>(popup, "stackedWidget")->currentIndex(), 0);
    QCOMPARE(popup.pos(), posBefore);
    QVERIFY(!timer(popup, "animationTimer")->isActive());
    QVERIFY(timer(popup, "liveTimer")->isActive());
    QCOMPARE(closed.count(), 0);
}

void tst_PopupWindow::spontaneousHideIsNoClose()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    showShot(popup, 1000);
    QVERIFY(riseUntilUp(popup));

    // What the window system sends on a desktop switch.
    QHideEvent away;
    QSpontaneKeyEvent::setSpontaneous(&away);
    QApplication::instance()->notify(&popup, &away);
    QCOMPARE(closed.count(), 0);
    QVERIFY(timer(popup, "liveTimer")->isActive());

    popup.PopupTimeLive();
    popup.PopupTimeLive();
    QVERIFY(fallUntilHidden(popup));
    QCOMPARE(closed.count(), 1);
}

void tst_PopupWindow::textAndMemoKindsNeverClose()
{
    RecordingPopup popup;
    QSignalSpy closed(&popup, &popupWindow::OnPopupWindowClose);
    QSignalSpy memoCalls(&popup, &popupWindow::OnMemoCall);

    QCOMPARE(popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
                 QStringLiteral("Time tracking has been stopped"), 1000, 5, false),
        false);
    QVERIFY(part<QLabel>(popup, "lblPopupText")->isVisible());
    QVERIFY(!part<QLabel>(popup, "lblCaption")->isVisible());
    QVERIFY(!part<QPushButton>(popup, "btnDiscard")->isVisible());
    QCOMPARE(timer(popup, "animationTimer")->interval(), 5);
    QVERIFY(riseUntilUp(popup));
    popup.PopupTimeLive();
    popup.PopupTimeLive();
    QVERIFY(fallUntilHidden(popup));

    const QString longMemo = QString(200, QLatin1Char('m'));
    popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"), longMemo,
        QStringLiteral("Memo..."), 1000, 15);
    QCOMPARE(part<QStackedWidget>(popup, "stackedWidget")->currentIndex(), 1);
    QCOMPARE(timer(popup, "animationTimer")->interval(), 45);
    auto* memo = part<QLabel>(popup, "lblMemo");
    QVERIFY(memo->text().endsWith(QChar(0x2026)));
    QVERIFY(memo->fontMetrics().horizontalAdvance(memo->text()) <= memo->width());
    QCOMPARE(part<QLabel>(popup, "lblCaption_2")->text(), QStringLiteral("jdoe - Team A"));
    QVERIFY(riseUntilUp(popup));
    QTest::mouseClick(part<QPushButton>(popup, "btnMemo"), Qt::LeftButton);
    QCOMPARE(memoCalls.count(), 1);
    QVERIFY(timer(popup, "animationTimer")->isActive());
    QVERIFY(fallUntilHidden(popup));
    QCOMPARE(closed.count(), 0);
}

void tst_PopupWindow::linksOpenOnlyForWebPages()
{
    RecordingPopup popup;
    popup.ShowPopup(QStringLiteral("jdoe"), QStringLiteral("Team A"),
        QStringLiteral("<a href=\"https://s.example/x\">s.example/x</a>"), 1000, 10, true);
    auto* text = part<QLabel>(popup, "lblPopupText");
    QCOMPARE(text->textFormat(), Qt::RichText);

    emit text->linkActivated(QStringLiteral("https://s.example/x")); // reaches the slot by name
    for (const char* link : { "http://s.example/a?b=1", "file:///etc/passwd", "javascript:alert(1)",
             "ftp://s.example/f", "mailto:a@s.example", "smb://host/share", "/relative/path",
             "http://", "not a url at all" })
        popup.on_lblPopupText_linkActivated(QLatin1String(link));

    QCOMPARE(urls.opened,
        (QList<QUrl> { QUrl(QStringLiteral("https://s.example/x")),
            QUrl(QStringLiteral("http://s.example/a?b=1")) }));

    popup.hide();
    QCOMPARE(text->textFormat(), Qt::PlainText); // a later plain notice stays plain
}

void tst_PopupWindow::soundBySettings()
{
    const QString tempSound = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                                  .filePath(QStringLiteral("popup_sound.wav"));
    const bool tempSoundExisted = QFile::exists(tempSound);
    RecordingPopup popup;

    setSound(0);
    showShot(popup);
    popup.hide();
    QVERIFY(popup.played.isEmpty());

    setSound(1);
    showShot(popup);
    popup.hide();
    QCOMPARE(popup.played, QList<QUrl> { QUrl(QStringLiteral("qrc:/data/sound.wav")) });
    QVERIFY(QFile::exists(QLatin1Char(':') + popup.played.first().path()));
    // Nothing is written to a fixed name in the shared temporary folder.
    QCOMPARE(QFile::exists(tempSound), tempSoundExisted);

    popup.played.clear();
    setSound(2);
    popup.ShowPopup(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("t"), 1000, 5, false);
    popup.hide();
    QVERIFY(popup.played.isEmpty()); // no own sound chosen
}

void tst_PopupWindow::ownSoundOnlyFromASoundFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("played");
    const QString folder = sounds.path();
    const auto file = [&folder](const char* name, qint64 size) {
        QFile sound(folder + QLatin1Char('/') + QLatin1String(name));
        if (sound.open(QIODevice::WriteOnly))
            sound.resize(size);
        return sound.fileName();
    };
    QTest::newRow("a sound file") << file("ding.wav", 4000) << true;
    QTest::newRow("missing") << folder + "/missing.wav" << false;
    QTest::newRow("empty") << file("empty.wav", 0) << false;
    QTest::newRow("far too large") << file("huge.wav", 64 * 1024 * 1024) << false;
    QTest::newRow("endless device") << QStringLiteral("/dev/zero") << false;
    QTest::newRow("a folder") << folder << false;
    const QString pipe = folder + "/pipe.wav";
    mkfifo(QFile::encodeName(pipe).constData(), 0600);
    QTest::newRow("a pipe") << pipe << false;
    const QString link = folder + "/link.wav";
    QFile::link(QStringLiteral("/dev/zero"), link);
    QTest::newRow("a link to a device") << link << false;
}

void tst_PopupWindow::ownSoundOnlyFromASoundFile()
{
    QFETCH(QString, path);
    QFETCH(bool, played);
    RecordingPopup popup;
    setSound(2, path);
    popup.ShowPopup(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("m"),
        QStringLiteral("Memo..."), 1000, 15);
    QCOMPARE(popup.played, played ? QList<QUrl> { QUrl::fromLocalFile(path) } : QList<QUrl>());
}

void tst_PopupWindow::soundWithoutAudioDoesNotBlock()
{
    // No sound server here (and none may be started): the real playback must shrug it off.
    qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
    setSound(1);
    popupWindow popup;
    QElapsedTimer clock;
    clock.start();
    showShot(popup);
    QTest::qWait(50);
    popup.hide();
    QVERIFY2(clock.elapsed() < 3000, "sound playback blocked the popup");
}

QTEST_MAIN(tst_PopupWindow)
#include "tst_popupwindow.moc"
