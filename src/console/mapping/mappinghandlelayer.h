#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QThreadPool>
#include <memory>
#include <optional>
#include <vector>

// The outline and handles of a canvas with very many points (a traced mask of a million), drawn on a pool thread so
// that the editor's main thread only draws the finished picture. Of the points whose centres fall on one pixel only
// the last, which lies on top, is drawn; which one that is stays known, to find the point under the pointer.
class MappingHandleLayer : public QObject
{
    Q_OBJECT
  public:
    // The radius of a point's handle, in widget pixels.
    static constexpr double kPointRadius = 8;

    struct Request
    {
        // Normalised to the output, in drawing order.
        QList<QPointF> points;
        // Where the output lies in the widget, and the widget.
        QRectF canvas;
        QSize size;
        qreal pixelRatio = 1;

        // The same points by their shared storage: comparing a million of them would hold the main thread.
        bool sameAs(const Request& other) const
        {
            return points.constData() == other.points.constData() && points.size() == other.points.size() &&
                   canvas == other.canvas && size == other.size && pixelRatio == other.pixelRatio;
        }
    };
    struct Layer
    {
        Request drawn;
        // The outline and a cyan handle for each point on top, transparent elsewhere.
        QImage image;
        // By widget pixel, row by row: the last point whose centre falls on it, or -1.
        std::vector<int> topmost;
    };

    explicit MappingHandleLayer(QObject* parent = nullptr);
    ~MappingHandleLayer() override;

    // Starts drawing the request unless it is drawn or being drawn already; a request made while another is drawn
    // waits for it, and only the latest one waits.
    void request(const Request& request);
    // The last layer drawn, which may be for earlier points or another size; none before the first.
    const Layer* layer() const { return m_layer.get(); }
    bool isCurrent(const Request& request) const { return m_layer && m_layer->drawn.sameAs(request); }
    // The last point, as the points stand now, whose handle of the radius covers the position, among those the
    // layer drew on top.
    std::optional<int> pointAt(QPointF position, double radius, const Request& now) const;

    // Drawn the same way on any thread.
    static Layer draw(const Request& request);

  signals:
    void ready();

  private:
    void start(const Request& request);
    void finished(const std::shared_ptr<const Layer>& layer);

    std::shared_ptr<const Layer> m_layer;
    std::optional<Request> m_drawing;
    std::optional<Request> m_waiting;
    // Last, so that it is destroyed first: that waits for the drawing under way.
    QThreadPool m_pool;
};
