// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordedreadings.h"

#include <QFile>

#include <charconv>
#include <cmath>
#include <deque>
#include <string>
#include <string_view>

namespace {

using Field = std::string_view;

// RFC 4180 records over the whole file, quotes and line ends inside quotes included.
class CsvScanner
{
public:
    CsvScanner(const char *begin, const char *end, char separator)
        : position(begin)
        , end(end)
        , separator(separator)
    {
    }

    // False at the end of the file or at a quote that is not closed (see broken()).
    bool next(std::vector<Field> *fields)
    {
        fields->clear();
        unquoted.clear();
        lineNumber = nextLine;
        if (position == end)
            return false;
        for (;;) {
            if (!readField(fields))
                return false;
            if (position == end)
                return true;
            const char c = *position++;
            if (c == separator)
                continue;
            if (c == '\r' && position != end && *position == '\n')
                ++position;
            ++nextLine;
            return true;
        }
    }

    qint64 line() const { return lineNumber; }
    bool broken() const { return unclosedQuote; }

private:
    bool readField(std::vector<Field> *fields)
    {
        if (position == end || *position != '"') {
            const char *start = position;
            while (position != end && *position != separator && *position != '\r' && *position != '\n')
                ++position;
            fields->emplace_back(start, std::size_t(position - start));
            return true;
        }
        std::string &text = unquoted.emplace_back();
        for (++position;; ++position) {
            if (position == end) {
                unclosedQuote = true;
                return false;
            }
            if (*position == '"') {
                if (position + 1 != end && position[1] == '"') {
                    ++position;
                } else {
                    ++position;
                    break;
                }
            } else if (*position == '\n') {
                ++nextLine;
            }
            text += *position;
        }
        fields->emplace_back(text);
        return true;
    }

    const char *position;
    const char *const end;
    const char separator;
    qint64 lineNumber = 1;
    qint64 nextLine = 1;
    bool unclosedQuote = false;
    std::deque<std::string> unquoted; // a deque keeps the fields' texts in place
};

QString text(Field field)
{
    return QString::fromUtf8(field.data(), int(field.size()));
}

// A number as the recorder writes it, with the decimal comma of ";" files.
bool number(Field field, char separator, double *value)
{
    char buffer[64];
    if (field.empty() || field.size() >= sizeof buffer)
        return false;
    const char *begin = field.data();
    if (separator == ';') {
        for (std::size_t i = 0; i < field.size(); ++i)
            buffer[i] = field[i] == ',' ? '.' : field[i];
        begin = buffer;
    }
    const char *last = begin + field.size();
    const auto [end, problem] = std::from_chars(begin, last, *value);
    return problem == std::errc() && end == last && std::isfinite(*value);
}

const char *const headerNames[] = {"Module address", "Unit number",  "Axis count", "Data format",
                                   "Unit",           "Tool version", "Start time", "Settings file"};
constexpr int requiredHeaderLines = 7; // "Settings file" came later: older recordings have none

QString headerProblem(int line, Field value, RecordedReadings *file)
{
    const QString valueText = text(value);
    bool ok = false;
    switch (line) {
    case 0:
        file->moduleAddress = valueText;
        break;
    case 1:
        file->unitNumber = valueText.toInt(&ok, 16);
        if (valueText.size() != 1 || !ok || valueText != valueText.toUpper())
            return QStringLiteral("the unit number \"%1\" is not one hexadecimal digit").arg(valueText);
        break;
    case 2:
        file->axisCount = valueText.toInt(&ok);
        if (!ok || file->axisCount < 1 || file->axisCount > 16)
            return QStringLiteral("the axis count \"%1\" is not a number from 1 to 16").arg(valueText);
        break;
    case 3:
        file->dataFormat = valueText;
        if (valueText != QLatin1String("Mode 1") && valueText != QLatin1String("Mode 2")
            && valueText != QLatin1String("Mode 3"))
            return QStringLiteral("the data format \"%1\" is not Mode 1, 2 or 3").arg(valueText);
        break;
    case 4:
        file->unit = valueText;
        if (valueText != QLatin1String("mm") && valueText != QLatin1String("mm/25.4"))
            return QStringLiteral("the unit \"%1\" is not mm or mm/25.4").arg(valueText);
        break;
    case 5:
        file->toolVersion = valueText;
        break;
    case 6:
        file->startTime = valueText;
        break;
    default:
        file->settingsFile = valueText;
        break;
    }
    return QString();
}

QString columnName(int column)
{
    if (column == 0)
        return QStringLiteral("Time");
    if (column == 1)
        return QStringLiteral("Seconds");
    static const char *const roles[] = {"value", "mode", "result"};
    return QStringLiteral("Axis %1 %2")
            .arg(QString::number((column - 2) / 3, 16).toUpper(), QLatin1String(roles[(column - 2) % 3]));
}

class Reader
{
public:
    Reader(const char *begin, const char *end, char separator)
        : scanner(begin, end, separator)
        , separator(separator)
    {
        file.separator = separator;
    }

    std::optional<RecordedReadings> read(QString *error)
    {
        if (!readHeader() || !readRows()) {
            if (scanner.broken())
                fault = QStringLiteral("a quoted field that is never closed");
            *error = QStringLiteral("line %1: %2").arg(scanner.line()).arg(fault);
            return std::nullopt;
        }
        return std::move(file);
    }

private:
    bool fail(const QString &problem)
    {
        fault = problem;
        return false;
    }

    bool checkWidth()
    {
        const std::size_t width = std::size_t(2 + 3 * file.axisCount);
        return fields.size() == width
                || fail(QStringLiteral("%1 fields where every line of this recording has %2")
                                .arg(fields.size())
                                .arg(width));
    }

    bool readHeader()
    {
        int line = 0;
        std::vector<std::size_t> earlyWidths; // checked once the axis count is known
        while (scanner.next(&fields)) {
            if (line >= requiredHeaderLines && fields.at(0) == "Time")
                return readColumns(earlyWidths);
            if (line == int(std::size(headerNames)))
                return fail(QStringLiteral("the column names (\"Time\", \"Seconds\", ...) are missing"));
            if (fields.size() < 2 || fields.at(0) != headerNames[line])
                return fail(line == 0 ? QStringLiteral("this is not a recording of the monitor: it does not "
                                                       "begin with \"Module address\"")
                                      : QStringLiteral("\"%1\" expected").arg(QLatin1String(headerNames[line])));
            const QString problem = headerProblem(line, fields.at(1), &file);
            if (!problem.isEmpty())
                return fail(problem);
            if (file.axisCount > 0 && !checkWidth())
                return false;
            if (file.axisCount == 0)
                earlyWidths.push_back(fields.size());
            ++line;
        }
        return fail(QStringLiteral("the file ends before the column names"));
    }

    bool readColumns(const std::vector<std::size_t> &earlyWidths)
    {
        for (const std::size_t width : earlyWidths) {
            if (width != std::size_t(2 + 3 * file.axisCount))
                return fail(QStringLiteral("the header lines before \"Axis count\" are not %1 fields wide")
                                    .arg(2 + 3 * file.axisCount));
        }
        if (!checkWidth())
            return false;
        for (int column = 0; column < int(fields.size()); ++column) {
            if (text(fields.at(std::size_t(column))) != columnName(column))
                return fail(QStringLiteral("column %1 is \"%2\", not \"%3\"")
                                    .arg(column + 1)
                                    .arg(text(fields.at(std::size_t(column))), columnName(column)));
        }
        file.axes.resize(std::size_t(file.axisCount));
        return true;
    }

    bool readRows()
    {
        double value = 0.0;
        while (scanner.next(&fields)) {
            if (!checkWidth())
                return false;
            if (fields[0].empty() || !number(fields[1], separator, &value))
                return fail(QStringLiteral("a row without its time and seconds"));
            ++file.rows;
            int gapAxes = 0;
            for (int axis = 0; axis < file.axisCount; ++axis) {
                const Field reading = fields[std::size_t(2 + 3 * axis)];
                const Field result = fields[std::size_t(4 + 3 * axis)];
                RecordedReadings::Axis &target = file.axes[std::size_t(axis)];
                if (result == "GAP") {
                    if (!reading.empty() || !fields[std::size_t(3 + 3 * axis)].empty())
                        return fail(QStringLiteral("axis %1 has a value or mode in a GAP row").arg(axis));
                    ++gapAxes;
                } else if (result != "OK" && result != "HI" && result != "LO" && result != "ERR" && !result.empty()) {
                    return fail(
                            QStringLiteral("\"%1\" is not a result (OK, HI, LO, ERR, GAP or empty)").arg(text(result)));
                } else if (reading.empty() || result == "ERR") {
                    ++target.withoutValue;
                } else if (number(reading, separator, &value)) {
                    target.statistics.add(value);
                } else {
                    return fail(
                            QStringLiteral("the value \"%1\" of axis %2 is not a number").arg(text(reading)).arg(axis));
                }
            }
            if (gapAxes > 0 && gapAxes != file.axisCount)
                return fail(QStringLiteral("GAP on some axes only"));
            file.gaps += gapAxes > 0 ? 1 : 0;
        }
        return !scanner.broken();
    }

    CsvScanner scanner;
    const char separator;
    std::vector<Field> fields;
    RecordedReadings file;
    QString fault;
};

} // namespace

std::optional<RecordedReadings> RecordedReadings::read(const QString &path, QString *error)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot be read: %1").arg(input.errorString());
        return std::nullopt;
    }
    // Mapped, not copied: an 8-hour recording of 16 axes is some 50 MB.
    const qint64 size = input.size();
    if (const uchar *mapped = size > 0 ? input.map(0, size) : nullptr) {
        const char *begin = reinterpret_cast<const char *>(mapped);
        return parse(begin, begin + size, error);
    }
    const QByteArray copy = input.readAll();
    return parse(copy.constData(), copy.constData() + copy.size(), error);
}

std::optional<RecordedReadings> RecordedReadings::parse(const char *begin, const char *end, QString *error)
{
    if (begin && end - begin >= 3 && std::string_view(begin, 3) == "\xEF\xBB\xBF")
        begin += 3;
    const std::string_view start(begin ? begin : "", std::size_t(end - begin));
    const std::string_view name = "Module address";
    if (start.size() <= name.size() || start.substr(0, name.size()) != name
        || (start[name.size()] != ',' && start[name.size()] != ';')) {
        *error = QStringLiteral("line 1: this is not a recording of the monitor: it does not begin with "
                                "\"Module address\" and a separator");
        return std::nullopt;
    }
    return Reader(begin, end, start[name.size()]).read(error);
}
