// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "communicationlogentry.h"

#include <QAbstractListModel>

#include <deque>

// The last `capacity` entries of the link's traffic, one row per entry shown. The
// monitor's polls can be hidden; they stay held, so showing them again loses
// nothing. The oldest entries leave as new ones come, so a day of polling takes
// no more memory than a minute.
class CommunicationLogModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit CommunicationLogModel(int capacity, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void append(const std::deque<CommunicationLogEntry> &batch);
    void clear();
    void setPollsHidden(bool hidden);
    int heldCount() const { return int(entries.size()); }
    // The rows shown, one line each.
    QString text() const;

private:
    bool isShown(const CommunicationLogEntry &entry) const { return !(pollsHidden && entry.poll); }

    const int capacity;
    bool pollsHidden = false;
    // Elements of a deque stay where they are while others come and go at its
    // ends, so `shown` can point into `entries`.
    std::deque<CommunicationLogEntry> entries;
    std::deque<const CommunicationLogEntry *> shown;
};
