// Writes a chat history file with anna.k (1002) as the partner, for the real client under
// probe-chatwindow:
//   make_history FILE COUNT [LENGTH]
// (see HistoryWriter.h).
#include "HistoryWriter.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: make_history FILE COUNT [LENGTH]\n");
        return 2;
    }
    if (!HistoryWriter::Write(
            args.at(1), args.at(2).toInt(), args.value(3).toInt(), 1002, "Anna Kovalenko")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
