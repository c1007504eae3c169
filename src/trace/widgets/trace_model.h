#pragma once

#include "trace/trace_decoder.h"

#include <QAbstractTableModel>

#include <deque>
#include <vector>

namespace vardex::trace {

// The decoded exchange, newest last, at most `capacity` rows. Entries arrive in
// batches so that a full log read (three reports per record) costs the view one
// insertion per batch, not one per report.
class TraceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 100'000;
    enum Column { WallTime, Time, Direction, Name, Length, Hex, Note, ColumnCount };

    explicit TraceModel(int capacity = kDefaultCapacity, QObject *parent = nullptr);

    void appendBatch(std::vector<DecodedEntry> batch);
    void clear();
    const DecodedEntry &entry(int row) const { return m_rows[row]; }
    int capacity() const { return m_capacity; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::deque<DecodedEntry> m_rows;
    int m_capacity;
};

} // namespace vardex::trace
