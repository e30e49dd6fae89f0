#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("vellora-bench: no readers yet\n");
    return 0;
}
