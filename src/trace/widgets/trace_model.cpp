#include "trace/widgets/trace_model.h"

#include <QColor>

#include <algorithm>

namespace vardex::trace {

TraceModel::TraceModel(int capacity, QObject *parent)
    : QAbstractTableModel(parent), m_capacity(std::max(1, capacity))
{
}

void TraceModel::appendBatch(std::vector<DecodedEntry> batch)
{
    if (batch.empty())
        return;
    // Only the newest `capacity` of the batch can survive.
    auto first = batch.begin();
    if (static_cast<int>(batch.size()) > m_capacity)
        first = batch.end() - m_capacity;
    const int incoming = static_cast<int>(batch.end() - first);
    const int overflow = static_cast<int>(m_rows.size()) + incoming - m_capacity;
    if (overflow > 0) {
        beginRemoveRows({}, 0, overflow - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + overflow);
        endRemoveRows();
    }
    const int start = static_cast<int>(m_rows.size());
    beginInsertRows({}, start, start + incoming - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(first),
                  std::make_move_iterator(batch.end()));
    endInsertRows();
}

void TraceModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int TraceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TraceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TraceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const DecodedEntry &e = m_rows[index.row()];
    if (role == Qt::ForegroundRole && e.mark != Mark::None)
        return QColor(180, 0, 0);
    if (role == Qt::TextAlignmentRole && (index.column() == Time || index.column() == Length))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case WallTime:
        return e.wallTime.isValid() ? e.wallTime.toString(QStringLiteral("HH:mm:ss.zzz"))
                                    : QString();
    case Time:
        return QString::number(e.nanoseconds / 1e6, 'f', 3);
    case Direction:
        return e.direction == link::TraceEntry::Direction::Sent ? QStringLiteral("→")
                                                                : QStringLiteral("←");
    case Name:
        return e.name;
    case Length:
        return e.length;
    case Hex:
        return e.hex;
    case Note:
        return markText(e.mark);
    default:
        return {};
    }
}

QVariant TraceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const kTitles[ColumnCount] = {"Время", "мс",     "",       "Запрос / ответ",
                                                     "Байт",  "Данные", "Отметка"};
    return QString::fromUtf8(kTitles[section]);
}

} // namespace vardex::trace
