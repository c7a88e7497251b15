#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QWidget>
#include <QMimeData>
#include <functional>

// The strip above a grid's header that takes column headers dragged into it. While nothing is
// grouped it shows a hint; otherwise one box per grouped column.
class GroupingPanel : public QWidget
{
    Q_OBJECT
public:
    // The drag of a header section carries its field name in this format (and as plain text).
    static QString fieldMimeType();

    explicit GroupingPanel(QWidget* parent = nullptr);

    void setHint(const QString& hint);
    QString hint() const { return m_hint; }
    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    // The hint is centred by the height of the grid's header font, not by its own font.
    void setHeaderFont(const QFont& font);
    void setCaptions(const QStringList& captions);   // of the grouped columns, in grouping order
    QStringList captions() const { return m_captions; }
    // Decides which dropped field names are taken; without it none are.
    void setAcceptField(std::function<bool(const QString&)> accept);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void fieldDropped(const QString& field);
    // A double click on the box of the grouped column at `index` (grouping order).
    void captionDoubleClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString droppedField(const QMimeData* mime) const;
    QList<QRect> captionBoxes() const;

    QString m_hint;
    QColor m_color;
    QFont m_headerFont;
    QStringList m_captions;
    std::function<bool(const QString&)> m_accept;
};
