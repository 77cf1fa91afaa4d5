// The program's icon at the fixed sizes of the hicolor theme, drawn from its SVG, so that the
// SVG stays the only source of the picture.
//
//   cfgtarascope-icons ICON.svg OUTPUT_FOLDER NAME SIZE...
//
// writes OUTPUT_FOLDER/NxN/apps/NAME.png for each SIZE N.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: cfgtarascope-icons ICON.svg OUTPUT_FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "cfgtarascope-icons: %s is not a valid SVG\n", argv[1]);
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 1) {
            std::fprintf(stderr, "cfgtarascope-icons: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = output.filePath(folder + u'/' + name + QStringLiteral(".png"));
        if (!output.mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "cfgtarascope-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
