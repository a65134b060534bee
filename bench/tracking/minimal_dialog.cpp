#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

// The yardstick of the start-up benchmark: the least a Qt program does to show a sign-in
// dialog. With --raster it draws by raster only, as the client does.
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--raster")
            QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    }
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Sign in - minimal"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Login name")));
    layout->addWidget(new QLineEdit);
    layout->addWidget(new QLabel(QStringLiteral("Password")));
    layout->addWidget(new QLineEdit);
    layout->addWidget(new QPushButton(QStringLiteral("Sign in")));
    dialog.show();
    return app.exec();
}
