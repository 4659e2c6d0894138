// quill-export-icon DIR ID SIZE...: writes the application icon as
// DIR/<SIZE>x<SIZE>/apps/ID.png for each size, the layout of an icon theme.
#include "resources/icons.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: quill-export-icon DIR ID SIZE...\n");
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QString file = folder + QStringLiteral("/%1.png").arg(QString::fromLocal8Bit(argv[2]));
        if (size < 1 || size > 1024 || !QDir().mkpath(folder) || !quill::appIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "quill-export-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
