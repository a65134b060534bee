#pragma once

#include <QApplication>
#include <QDirIterator>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextStream>

#include <memory>
#include <vector>

// The project's own sources in four columns of a small face over the whole desktop, as a
// member's desktop full of text looks; says "shown" on its output once they are. A benchmark
// runs it as a program of its own (its repaints under the popup are not the client's).
inline int ShowTextDesktop(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QSize size = QGuiApplication::primaryScreen()->virtualGeometry().size();
    const int columns = 4;
    QStringList texts;
    QDirIterator files(
        SOURCE_DIR "/src", { "*.cpp", "*.h" }, QDir::Files, QDirIterator::Subdirectories);
    QString text;
    while (files.hasNext() && texts.size() < columns) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
        if (text.count('\n') > 400) {
            texts << text;
            text.clear();
        }
    }
    std::vector<std::unique_ptr<QPlainTextEdit>> editors;
    const int width = size.width() / columns;
    for (int column = 0; column < texts.size(); ++column) {
        auto editor = std::make_unique<QPlainTextEdit>();
        editor->setWindowFlags(Qt::FramelessWindowHint);
        editor->setFont(QFont("DejaVu Sans Mono", 8));
        editor->setPlainText(texts.at(column));
        editor->setGeometry(column * width, 0, width, size.height());
        editor->show();
        if (!QTest::qWaitForWindowExposed(editor.get()))
            return 1;
        editors.push_back(std::move(editor));
    }
    QTest::qWait(300);
    QTextStream(stdout) << "shown" << Qt::endl;
    return app.exec();
}
