// SPDX-License-Identifier: GPL-3.0-or-later
#include "communicationlogmodel.h"

#include <algorithm>

CommunicationLogModel::CommunicationLogModel(int capacity, QObject *parent)
    : QAbstractListModel(parent)
    , capacity(capacity)
{
}

int CommunicationLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown.size());
}

QVariant CommunicationLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(shown.size()))
        return QVariant();
    return shown[size_t(index.row())]->line();
}

void CommunicationLogModel::append(const std::deque<CommunicationLogEntry> &batch)
{
    const int newRows = int(std::count_if(batch.cbegin(), batch.cend(), [this](const auto &e) { return isShown(e); }));
    if (newRows > 0)
        beginInsertRows(QModelIndex(), rowCount(), rowCount() + newRows - 1);
    for (const CommunicationLogEntry &entry : batch) {
        entries.push_back(entry);
        if (isShown(entry))
            shown.push_back(&entries.back());
    }
    if (newRows > 0)
        endInsertRows();

    if (int(entries.size()) <= capacity)
        return;
    const auto leaving = entries.cbegin() + (int(entries.size()) - capacity);
    const int leavingRows = int(std::count_if(entries.cbegin(), leaving, [this](const auto &e) { return isShown(e); }));
    if (leavingRows > 0)
        beginRemoveRows(QModelIndex(), 0, leavingRows - 1);
    shown.erase(shown.begin(), shown.begin() + leavingRows);
    entries.erase(entries.cbegin(), leaving);
    if (leavingRows > 0)
        endRemoveRows();
}

void CommunicationLogModel::clear()
{
    beginResetModel();
    shown.clear();
    entries.clear();
    endResetModel();
}

void CommunicationLogModel::setPollsHidden(bool hidden)
{
    if (hidden == pollsHidden)
        return;
    beginResetModel();
    pollsHidden = hidden;
    shown.clear();
    for (const CommunicationLogEntry &entry : entries)
        if (isShown(entry))
            shown.push_back(&entry);
    endResetModel();
}

QString CommunicationLogModel::text() const
{
    QString text;
    for (const CommunicationLogEntry *entry : shown)
        text += entry->line() + QLatin1Char('\n');
    return text;
}
