// The start-up benchmark's baseline: the barest Qt window of a given size (QApplication and one
// QWidget, nothing else), started as velmorix is, so that bench/startup.sh can compare the two.
//
//   velmorix-bench-bare WIDTH HEIGHT

#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(argc > 2 ? std::atoi(argv[1]) : 800, argc > 2 ? std::atoi(argv[2]) : 600);
    window.show();
    return app.exec();
}
