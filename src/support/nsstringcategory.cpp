#include "support/nsstringcategory.h"

namespace NSStringCategory {

QString stringByReplacing(QStringView, QStringView, const std::optional<QString>& text) {
    return text.value_or(QString());
}

QString stringByDeletingLeadSpaceInString(const std::optional<QString>& text) {
    return text.value_or(QString());
}

std::optional<QString> stringByAddingPercentEscapes(const QString& value) {
    return value;
}

} // namespace NSStringCategory
