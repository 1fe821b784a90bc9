#include "horizontalarrangement.h"

#include <cmath>

std::optional<QList<ProjectorMapping>> arrangedHorizontally(QList<ProjectorMapping> mappings, const ScreenRole& source,
                                                            double overlap)
{
    const qsizetype count = mappings.size();
    if (count < 2 || !std::isfinite(overlap) || overlap < 0 || overlap >= 1)
        return std::nullopt;
    const double width = 1.0 / (double(count) - overlap * double(count - 1));
    for (qsizetype i = 0; i < count; ++i) {
        ProjectorMapping& mapping = mappings[i];
        mapping.enabled = true;
        mapping.source = source;
        mapping.crop = QRectF((1 - overlap) * width * double(i), 0, width, 1);
        // A hand-edited file may hold fewer than four blend widths.
        while (mapping.edges.size() < 4)
            mapping.edges.append(0);
        mapping.edges[0] = i == 0 ? 0 : overlap;
        mapping.edges[1] = i == count - 1 ? 0 : overlap;
    }
    return mappings;
}
