#include "wordproc/FormBoxes.h"

#include "wordproc/Metafile.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>

namespace wordproc {

namespace {

// The size of the text the box stands in, in layout pixels.
double textSize(const QTextDocument* doc, const QTextFormat& format) {
    const QFont font = format.toCharFormat().font().resolve(doc ? doc->defaultFont() : QFont());
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * kLayoutDpi / 72.0;
}

// A box reaches this far below the baseline, in parts of its side (as LibreOffice sets Word's).
constexpr double kBelowBaseline = 0.15;

class CheckBoxHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    // Qt stands an object on the baseline: the part above it is its height.
    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override {
        const double side = textSize(doc, format);
        return {side, side * (1 - kBelowBaseline)};
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        const double side = rect.width();
        const double pen = 0.5 * kLayoutDpi / 72.0; // half a point, Word's box's line
        const QRectF box(rect.left() + pen / 2, rect.top() + pen / 2, side - pen,
                         rect.height() + side * kBelowBaseline - pen);
        painter->save();
        painter->setPen(QPen(format.toCharFormat().foreground().color().isValid()
                                 ? format.toCharFormat().foreground().color()
                                 : QColor(Qt::black),
                             pen));
        painter->setBrush(Qt::NoBrush);
        // Four strokes rather than a rectangle: a PDF then holds the box as lines, as it holds rules.
        painter->drawLines(QList<QLineF>{{box.topLeft(), box.topRight()},
                                         {box.topRight(), box.bottomRight()},
                                         {box.bottomRight(), box.bottomLeft()},
                                         {box.bottomLeft(), box.topLeft()}});
        if (format.boolProperty(kCheckBoxTickedProperty)) {
            painter->drawLine(box.topLeft(), box.bottomRight());
            painter->drawLine(box.topRight(), box.bottomLeft());
        }
        painter->restore();
    }
};

// Qt's own drawing of a document's pictures, with the text a metafile picture carries set over it.
class PictureTextHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    PictureTextHandler(QTextObjectInterface* images, QObject* parent) : QObject(parent), m_images(images) {}

    QSizeF intrinsicSize(QTextDocument* doc, int position, const QTextFormat& format) override {
        return m_images->intrinsicSize(doc, position, format);
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int position,
                    const QTextFormat& format) override {
        const QVariant image =
            doc ? doc->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
                : QVariant();
        const QVariant bleed = format.property(kPictureBleedProperty);
        if (bleed.typeId() == QMetaType::QRectF && image.typeId() == QMetaType::QImage) {
            const QRectF share = bleed.toRectF();
            painter->drawImage(QRectF(rect.x() + share.x() * rect.width(),
                                      rect.y() + share.y() * rect.height(), share.width() * rect.width(),
                                      share.height() * rect.height()),
                               image.value<QImage>());
            return;
        }
        m_images->drawObject(painter, rect, doc, position, format);
        if (!doc)
            return;
        if (image.typeId() == QMetaType::QImage)
            drawPictureText(*painter, rect, image.value<QImage>());
    }

private:
    QTextObjectInterface* m_images;
};

} // namespace

void allowCheckBoxes(QTextDocument& doc) {
    // One handler serves every document; it keeps no state of its own.
    static CheckBoxHandler* const handler = new CheckBoxHandler;
    doc.documentLayout()->registerHandler(kCheckBoxObject, handler);
}

void insertCheckBox(QTextCursor& cursor, const QTextCharFormat& format, bool ticked) {
    QTextCharFormat box = format;
    box.setObjectType(kCheckBoxObject);
    box.setProperty(kCheckBoxTickedProperty, ticked);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), box);
}

void allowPictureText(QTextDocument& doc) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    QTextObjectInterface* images = layout->handlerForObject(QTextFormat::ImageObject);
    if (!images || dynamic_cast<PictureTextHandler*>(images))
        return;
    layout->registerHandler(QTextFormat::ImageObject, new PictureTextHandler(images, layout));
}

} // namespace wordproc

#include "FormBoxes.moc"
