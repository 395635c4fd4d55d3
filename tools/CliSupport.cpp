#include "CliSupport.h"

#include <cmath>
#include <cstdio>

namespace cli {

int fail(const QString& message)
{
    std::fprintf(stderr, "kalvex-cli: %s\n", message.toLocal8Bit().constData());
    return kBadInput;
}

std::optional<QString> ParsedArgs::value(const QString& name) const
{
    std::optional<QString> found;
    for (const auto& [key, val] : options)
        if (key == name)
            found = val;
    return found;
}

ParsedArgs parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions)
{
    ParsedArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            parsed.positional << arg;
            continue;
        }
        const int eq = arg.indexOf('=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        if (flagOptions.contains(name) && eq < 0) {
            parsed.flags << name;
        } else if (valueOptions.contains(name)) {
            if (eq >= 0) {
                parsed.options.emplace_back(name, arg.mid(eq + 1));
            } else if (i + 1 < args.size()) {
                parsed.options.emplace_back(name, args[++i]);
            } else {
                parsed.error = QStringLiteral("option %1 needs a value").arg(name);
                return parsed;
            }
        } else {
            parsed.error = QStringLiteral("unknown option %1").arg(arg);
            return parsed;
        }
    }
    return parsed;
}

std::optional<double> parseNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QStringList pictureValueOptions()
{
    return {QStringLiteral("--set"), QStringLiteral("--cell-size"), QStringLiteral("--threshold")};
}

QString parsePictureOptions(const ParsedArgs& parsed, PictureOptions& options)
{
    if (const QString problem = parseSetAndCellSize(parsed, options.set, options.cellSize); !problem.isEmpty())
        return problem;
    QString error;
    if (!intOption(parsed, "--threshold", 0, 255, options.threshold, error))
        return error;
    if (parsed.has(QStringLiteral("--arrange")))
        options.arrange = true;
    if (parsed.has(QStringLiteral("--no-arrange")))
        options.arrange = false;
    return {};
}

QString loadPictures(DesignSession& session, const QStringList& paths, const PictureOptions& options,
                     DesignSession::Pictures how)
{
    DesignSession::PictureChoice choice;
    choice.set = options.set;
    choice.paths = {paths[0], paths[1], paths[2]};
    choice.cellSize = static_cast<float>(options.cellSize);
    choice.threshold = options.threshold;
    choice.how = how;
    if (const Report loaded = session.load(choice); !loaded.ok())
        return loaded.error();
    if (options.arrange)
        if (const Report arranged = session.arrange(); !arranged.ok())
            return arranged.error();
    return {};
}

std::string keptJson(const DesignSession& session)
{
    const KeptValues kept = session.kept();
    return "\"kept\": [" + jsonNumber(std::round(kept[0] * 1e4) / 1e4) + ", " +
           jsonNumber(std::round(kept[1] * 1e4) / 1e4) + ", " + jsonNumber(std::round(kept[2] * 1e4) / 1e4) + "]";
}

std::string placementsJson(const DesignSession& session)
{
    std::string json = "\"placements\": [";
    for (int k = 0; k < 3; ++k)
        json += (k ? ", \"" : "\"") + placementText(session.pictures().placements()[std::size_t(k)]).toStdString() +
                "\"";
    return json + "]";
}

QString parseSetAndCellSize(const ParsedArgs& parsed, int& set, double& cellSize)
{
    const QString badSet = QStringLiteral("--set must be 0, 1 or 2");
    const QString badCellSize = QStringLiteral("--cell-size must be a number from 1 to 250");
    if (const auto text = parsed.value("--set")) {
        bool ok = false;
        set = text->toInt(&ok);
        if (!ok || set < 0 || set > 2)
            return badSet;
    }
    if (const auto text = parsed.value("--cell-size")) {
        const auto number = parseNumber(*text);
        if (!number || !(*number >= 1.0 && *number <= 250.0))
            return badCellSize;
        cellSize = *number;
    }
    return {};
}

std::string jsonNumber(double value)
{
    char buffer[64];
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
    else
        std::snprintf(buffer, sizeof buffer, "%.7g", value);
    return buffer;
}

}  // namespace cli
