#include "ToolGlyphs.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {

QPixmap Render(const QString &name, int size)
{
    QSvgRenderer renderer(":/glyphs/" + name + ".svg");
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon Glyph(const QString &name)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(Render(name, size));
    return icon;
}

}  // namespace

std::vector<QIcon> ToolGlyphs()
{
    std::vector<QIcon> glyphs;
    for (const char *name : {"disconnect", "connect", "download", "upload", "newfolder", "delete", "rename", "about",
                             "upfolder"})
        glyphs.push_back(Glyph(name));
    return glyphs;
}

QIcon ChangeFolderGlyph()
{
    return Glyph("go");
}

QPixmap AboutPicture()
{
    return Render("aboutpicture", 32);
}
