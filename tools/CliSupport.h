#pragma once
// Small helpers shared by the kalvex-cli commands: argument parsing, error
// reporting, JSON formatting.

#include "session/DesignSession.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace cli {

// Exit code for bad usage and unreadable or unusable input.
constexpr int kBadInput = 2;

// Prints "kalvex-cli: <message>" on stderr and returns kBadInput.
int fail(const QString& message);

// Command line split into "--name value" / "--name=value" options, flags and
// positional arguments. `error` is set for an unknown option or a missing value.
struct ParsedArgs {
    std::vector<std::pair<QString, QString>> options;
    QStringList flags;
    QStringList positional;
    QString error;

    std::optional<QString> value(const QString& name) const;
    bool has(const QString& flag) const { return flags.contains(flag); }
};
ParsedArgs parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions);

// Parses a number option; nullopt when the text is not a finite number.
std::optional<double> parseNumber(const QString& text);

// Reads --set (0, 1 or 2) and --cell-size (1 to 250) when given; returns an
// error text or "".
QString parseSetAndCellSize(const ParsedArgs& parsed, int& set, double& cellSize);

// Reads a whole-number option within [low, high] into `value` when given;
// false, with `error` set, for anything else.
template <class Int>
bool intOption(const ParsedArgs& parsed, const QString& name, std::type_identity_t<Int> low,
               std::type_identity_t<Int> high, Int& value, QString& error)
{
    const auto text = parsed.value(name);
    if (!text)
        return true;
    bool ok = false;
    const long long v = text->toLongLong(&ok);
    if (!ok || v < static_cast<long long>(low) || v > static_cast<long long>(high)) {
        error = QStringLiteral("%1 must be a whole number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    value = static_cast<Int>(v);
    return true;
}

// Compact JSON number: integers without a fraction, others with up to 7
// significant digits.
std::string jsonNumber(double value);

// What every command that takes three pictures reads: --set, --cell-size,
// --threshold L (0..255; the figure's luminance split, automatic without)
// and whether to arrange the pictures first (--arrange, or where that is
// the default --no-arrange).
struct PictureOptions {
    int set = 0;
    double cellSize = 5.0;
    int threshold = -1;
    bool arrange = false;
};
// The value options of PictureOptions, for parseArgs.
QStringList pictureValueOptions();
// Reads them into `options` (its arrange as the command's default); an
// error text or "".
QString parsePictureOptions(const ParsedArgs& parsed, PictureOptions& options);
// Loads the three positional pictures into the session and arranges them
// when asked; the error line or "".
QString loadPictures(DesignSession& session, const QStringList& paths, const PictureOptions& options,
                     DesignSession::Pictures how = DesignSession::Pictures::Deformable);
// "\"kept\": [k0, k1, k2]" (fractions of each figure kept) and
// "\"placements\": [\"scale=...\", ...]" of the session's design.
std::string keptJson(const DesignSession& session);
std::string placementsJson(const DesignSession& session);

}  // namespace cli

int runHull(const QStringList& args);
int runOptimize(const QStringList& args);
int runContour(const QStringList& args);
int runSculpt(const QStringList& args);
int runPerspective(const QStringList& args);
int runFill(const QStringList& args);
