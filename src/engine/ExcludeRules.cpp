// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and evaluating exclude rules.
//
// A rule whose number or date cannot be read matches nothing: the editors
// only write well-formed values, and a damaged row must not start hiding
// files from the mirror that the user never meant to leave out.
#include "engine/ExcludeRules.h"

#include <algorithm>

#include "platform/RunControl.h"
#include "platform/Clock.h"
#include "platform/FileAttributes.h"

#include <QCryptographicHash>
#include <QDate>
#include <QLocale>
#include <QStringDecoder>

#include <array>
#include <initializer_list>
#include <optional>

namespace tarnwick {

namespace {

// Wide enough that thresholds and time windows never overflow, whatever
// number a rule holds.
using Wide = __int128;

constexpr qint64 kMsecsPerDay = 86400000;
constexpr qint64 kFileTimeUnitsPerSecond = 10000000;

// Removes leading and trailing characters up to and including the blank.
QString TrimBlanksAndControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// A decimal integer with an optional sign, blanks anywhere ignored.
std::optional<qint64> ReadNumber(const QString& text)
{
    QString digits = text;
    digits.remove(u' ');
    qsizetype i = 0;
    if (i < digits.size() && (digits[i] == u'+' || digits[i] == u'-'))
        ++i;
    if (i == digits.size())
        return std::nullopt;
    for (; i < digits.size(); ++i) {
        if (digits[i] < u'0' || digits[i] > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 number = digits.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

// A stored date (yyyy-MM-dd) and nothing else.
std::optional<QDate> ReadDate(const QString& text)
{
    const QString trimmed = TrimBlanks(text);
    const QDate date = QDate::fromString(trimmed, u"yyyy-MM-dd");
    if (!date.isValid() || date.toString(u"yyyy-MM-dd") != trimmed)
        return std::nullopt;
    return date;
}

// Local wall-clock time as milliseconds on one continuous day scale, so
// that "N days ago" means the same clock time N calendar days earlier, as a
// date with a fraction of a day does.
Wide WallMsecs(const QDate& date, qint64 msecsIntoDay)
{
    return Wide(date.toJulianDay()) * kMsecsPerDay + msecsIntoDay;
}

Wide WallMsecs(const QDateTime& local)
{
    return WallMsecs(local.date(), local.time().msecsSinceStartOfDay());
}

// A file time in local time, cut to whole seconds.
std::optional<Wide> FileTimeWallMsecs(qint64 fileTime)
{
    const qint64 units = fileTime - kFileTimeEpochOffset;
    qint64 seconds = units / kFileTimeUnitsPerSecond;
    if (units % kFileTimeUnitsPerSecond < 0)
        --seconds; // cut towards the past, also before 1970
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
    if (!local.isValid())
        return std::nullopt;
    return WallMsecs(local);
}

// Case is folded the same way on both sides, by the system's locale.
QString LowerCase(const QString& text)
{
    return QLocale::system().toLower(text);
}

bool MatchesExtensionList(const QString& value, const QByteArray& path)
{
    const qsizetype nameStart = path.lastIndexOf('/') + 1;
    const qsizetype dot = path.lastIndexOf('.');
    QByteArray extensionBytes;
    if (dot >= nameStart)
        extensionBytes = path.mid(dot + 1);

    // A name that is not UTF-8 keeps its bytes; an extension made of such
    // bytes cannot equal any entry, which is always text.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString extension = decoder.decode(extensionBytes);
    if (decoder.hasError())
        return false;
    const QString wanted = LowerCase(extension);

    // Each entry is closed by a comma; text after the last comma is none.
    qsizetype from = 0;
    for (qsizetype comma = value.indexOf(u',', from); comma >= 0;
         comma = value.indexOf(u',', from)) {
        const QString entry = TrimBlanksAndControls(value.mid(from, comma - from));
        if (LowerCase(entry) == wanted)
            return true;
        from = comma + 1;
    }
    return false;
}

bool MatchesSingleFile(const QString& value, const QByteArray& path)
{
    return TrimBlanks(value).toUtf8() == path;
}

bool MatchesSize(const ExcludeRule& rule, const EntryRecord& entry)
{
    const std::optional<qint64> number = ReadNumber(rule.value);
    if (!number)
        return false;
    qint64 unit = 1;
    if (rule.sstype == kSizeMegabytes)
        unit = 1048576;
    else if (rule.sstype == kSizeKilobytes)
        unit = 1024;
    const Wide threshold = Wide(*number) * unit;
    const Wide size = entry.size;
    switch (rule.stype) {
    case 0:
        return size < threshold;
    case 1:
        return size == threshold;
    case 2:
        return size > threshold;
    default:
        return false;
    }
}

bool MatchesDate(const ExcludeRule& rule, const EntryRecord& entry, const QDateTime& now)
{
    qint64 fileTime = 0;
    switch (rule.stype) {
    case kDateLastWrite:
        fileTime = entry.lastWriteTime;
        break;
    case kDateCreation:
        fileTime = entry.creationTime;
        break;
    case kDateLastAccess:
        fileTime = entry.lastAccessTime;
        break;
    default:
        return false;
    }
    if (rule.sstype < kWindowLastMonths || rule.sstype > kWindowBetween)
        return false;
    const std::optional<Wide> when = FileTimeWallMsecs(fileTime);
    if (!when)
        return false;

    if (rule.sstype == kWindowBetween) {
        const std::optional<QDate> start = ReadDate(rule.value);
        const std::optional<QDate> end = ReadDate(rule.endDate);
        if (!start || !end)
            return false;
        // Opens at the start of the day before the start date and closes at
        // the end of the end date.
        const Wide opens = WallMsecs(start->addDays(-1), 0);
        const Wide closes = WallMsecs(end->addDays(1), 0);
        return *when > opens && *when < closes;
    }

    const std::optional<qint64> number = ReadNumber(rule.value);
    if (!number)
        return false;
    const Wide days = rule.sstype == kWindowLastMonths ? Wide(*number) * 30 : Wide(*number);
    return *when > WallMsecs(now.toLocalTime()) - days * kMsecsPerDay;
}

bool MatchesAttributes(const QString& value, const QByteArray& path)
{
    static constexpr std::array<quint32, 6> kPositions = {
        kAttrReadOnly, kAttrArchive, kAttrHidden, kAttrSystem, kAttrCompressed, kAttrEncrypted};
    // An entry that cannot be examined (gone since the enumeration, say)
    // has every attribute.
    const quint32 attributes = ReadFileAttributes(path).value_or(0xFFFFFFFFu);
    const QString flags = TrimBlanks(value);
    for (std::size_t i = 0; i < kPositions.size(); ++i) {
        const auto position = static_cast<qsizetype>(i);
        if (position < flags.size() && flags[position] == u'1' && (attributes & kPositions[i]))
            return true;
    }
    return false;
}

bool RuleMatches(const ExcludeRule& rule, const QByteArray& path, const EntryRecord& entry,
                 const QDateTime& now)
{
    switch (rule.type) {
    case kRuleExtensions:
        return MatchesExtensionList(rule.value, path);
    case kRuleSingleFile:
        return MatchesSingleFile(rule.value, path);
    case kRuleSize:
        return MatchesSize(rule, entry);
    case kRuleDate:
        return MatchesDate(rule, entry, now);
    case kRuleAttributes:
        return MatchesAttributes(rule.value, path);
    default:
        return false;
    }
}


} // namespace


bool IsExcluded(const QList<ExcludeRule>& rules, const QByteArray& path, const EntryRecord& entry,
                const QDateTime& now, const RunControl* control)
{
    for (const ExcludeRule& rule : rules) {
        if (control && control->stopRequested())
            return true;
        if (RuleMatches(rule, path, entry, now))
            return true;
    }
    return false;
}

QByteArray RulesFingerprint(const QList<ExcludeRule>& rules, const QDate& today)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    bool byAge = false;
    for (const ExcludeRule& rule : rules) {
        hash.addData(QStringLiteral("%1/%2/%3/").arg(rule.type).arg(rule.stype).arg(rule.sstype)
                         .toUtf8());
        hash.addData(rule.value.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
        hash.addData(rule.endDate.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
        byAge = byAge || (rule.type == kRuleDate && rule.sstype != kWindowBetween);
    }
    if (byAge)
        hash.addData(today.toString(Qt::ISODate).toUtf8());
    return hash.result();
}

ExcludeTest MakeExcludeTest(QList<ExcludeRule> rules, const RunControl* control, const Clock& clock)
{
    if (rules.isEmpty())
        return ExcludeTest();
    // Only date rules need the time, and asking the local time for every
    // file would cost a time-zone look-up per file.
    const bool needsNow = std::any_of(rules.cbegin(), rules.cend(), [](const ExcludeRule& rule) {
        return rule.type == kRuleDate;
    });
    return [rules = std::move(rules), control, &clock, needsNow](const QByteArray& path,
                                                                 const EntryRecord& entry) {
        return IsExcluded(rules, path, entry, needsNow ? clock.now() : QDateTime(), control);
    };
}

namespace {

constexpr TextEntry kWildcard{"RuleWildcard", "Excluder files watching the wildcard: %1"};
constexpr TextEntry kSingleFile{"RuleFile", "Excluder file: %1"};
constexpr TextEntry kSizeStored{"RuleSize", "Excluder if file size %1 %2 %3"};
constexpr TextEntry kSizeEditor{"RuleSizeEditor", "Excluder if file size: %1 %2 %3."};
constexpr TextEntry kMonthsStored{"RuleLastMonths", "Excluder if file %1 in the last %2 months"};
constexpr TextEntry kMonthsEditor{"RuleLastMonthsEditor",
                                  "Excluder if file %1 in the last %2 months."};
constexpr TextEntry kDaysStored{"RuleLastDays", "Excluder if file %1 in the last %2 days"};
constexpr TextEntry kDaysEditor{"RuleLastDaysEditor", "Excluder if file %1 in the last %2 days."};
constexpr TextEntry kBetweenStored{"RuleBetween", "Excluder if file %1 between %2 and %3"};
constexpr TextEntry kBetweenEditor{"RuleBetweenEditor", "Excluder if file %1 between %2 and %3."};
constexpr TextEntry kAttributesStored{"RuleAttributes", "Excluder if file attribute(s) set: %1."};
constexpr TextEntry kAttributesEditor{"RuleAttributesEditor",
                                      "Excluder if file attribute(s) set: %1"};
constexpr TextEntry kOr{"RuleOr", " or "};
// Which time of a file a date rule looks at: as the stored rules and as
// the dialog say it.
constexpr TextEntry kTimesStored[] = {{"RuleModified", "Modified"},
                                      {"RuleCreated", "Created"},
                                      {"RuleLastAccessed", "Last Accessed"}};
constexpr TextEntry kTimesEditor[] = {{"RuleModifiedEditor", "modified"},
                                      {"RuleCreatedEditor", "created"},
                                      {"RuleLastAccessedEditor", "last accessed"}};
constexpr TextEntry kComparisons[] = {{"RuleLessThan", "Less than (<)"},
                                      {"RuleEqualTo", "Equal to (=)"},
                                      {"RuleGreaterThan", "Greater than (>)"}};
// In the order of the stored attribute flags.
constexpr TextEntry kAttributes[] = {{"RuleReadOnly", "Read Only"}, {"RuleArchive", "Archive"},
                                     {"RuleHidden", "Hidden"},      {"RuleSystem", "System"},
                                     {"RuleCompressed", "Compressed"},
                                     {"RuleEncrypted", "Encrypted"}};
// The size units read the same in every language.
constexpr const char* kUnits[] = {"MBytes", "KBytes", "Bytes"};

constexpr TextEntry kAllTexts[] = {
    kWildcard,        kSingleFile,      kSizeStored,       kSizeEditor,      kMonthsStored,
    kMonthsEditor,    kDaysStored,      kDaysEditor,       kBetweenStored,   kBetweenEditor,
    kAttributesStored, kAttributesEditor, kOr,             kTimesStored[0],  kTimesStored[1],
    kTimesStored[2],  kTimesEditor[0],  kTimesEditor[1],   kTimesEditor[2],  kComparisons[0],
    kComparisons[1],  kComparisons[2],  kAttributes[0],    kAttributes[1],   kAttributes[2],
    kAttributes[3],   kAttributes[4],   kAttributes[5],
};

template <std::size_t N>
QString Pick(qint64 index, const TextEntry (&entries)[N], const TextLookup& look)
{
    return index >= 0 && index < qint64(N) ? look(entries[index]) : QString();
}

QString Unit(qint64 index)
{
    return index >= 0 && index < qint64(std::size(kUnits)) ? QString::fromLatin1(kUnits[index])
                                                           : QString();
}

// The names of the attributes a rule's flags choose, joined by "or".
QString ChosenAttributes(const QString& flags, const TextLookup& look)
{
    QStringList names;
    for (std::size_t i = 0; i < std::size(kAttributes); ++i) {
        const qsizetype at = static_cast<qsizetype>(i);
        if (at < flags.size() && flags[at] == u'1')
            names << look(kAttributes[i]);
    }
    return names.join(look(kOr));
}

QString DescribeDate(const ExcludeRule& rule, const QString& time, const TextEntry& months,
                     const TextEntry& days, const TextEntry& between, const TextLookup& look)
{
    switch (rule.sstype) {
    case kWindowLastMonths:
        return look(months).arg(time, rule.value);
    case kWindowLastDays:
        return look(days).arg(time, rule.value);
    case kWindowBetween:
        return look(between).arg(time, rule.value, rule.endDate);
    default:
        return QString();
    }
}

} // namespace

std::span<const TextEntry> RuleDescriptionTexts()
{
    return kAllTexts;
}

QString DescribeStoredRule(const ExcludeRule& rule, const TextLookup& look)
{
    switch (rule.type) {
    case kRuleExtensions:
        return look(kWildcard).arg(rule.value);
    case kRuleSingleFile:
        return look(kSingleFile).arg(rule.value);
    case kRuleSize: {
        static const char* const kSigns[] = {"<", "=", ">"};
        const QString comparison = rule.stype >= 0 && rule.stype < 3
                                       ? QString::fromLatin1(kSigns[rule.stype])
                                       : QString();
        return look(kSizeStored)
            .arg(comparison)
            .arg(ReadNumber(rule.value).value_or(0))
            .arg(Unit(rule.sstype));
    }
    case kRuleDate:
        return DescribeDate(rule, Pick(rule.stype, kTimesStored, look), kMonthsStored,
                            kDaysStored, kBetweenStored, look);
    case kRuleAttributes:
        return look(kAttributesStored).arg(ChosenAttributes(rule.value, look));
    default:
        return QString();
    }
}

QString DescribeEditorRule(const ExcludeRule& rule, const TextLookup& look)
{
    switch (rule.type) {
    case kRuleExtensions:
        return look(kWildcard).arg(rule.value);
    case kRuleSingleFile:
        return look(kSingleFile).arg(rule.value);
    case kRuleSize:
        return look(kSizeEditor)
            .arg(Pick(rule.stype, kComparisons, look), rule.value, Unit(rule.sstype));
    case kRuleDate:
        return DescribeDate(rule, Pick(rule.stype, kTimesEditor, look), kMonthsEditor,
                            kDaysEditor, kBetweenEditor, look);
    case kRuleAttributes:
        return look(kAttributesEditor).arg(ChosenAttributes(rule.value, look));
    default:
        return QString();
    }
}

} // namespace tarnwick
