#pragma once

#include <QString>

#include <optional>

struct SourceContext;

enum class SourceFormat { Dsl, StarDict, Dictd, MyThes, Tsv };

// "dsl", "stardict", "dict", "mythes", "tsv"
std::optional<SourceFormat> sourceFormatFromName(const QString &name);
// By the file name: .dsl (.dsl.dz is not read), .ifo/.idx with a .ifo beside,
// .index, .dict/.dict.dz (with a .index or .ifo beside), .dat/.idx with a
// .dat beside, .tsv/.txt.
std::optional<SourceFormat> guessSourceFormat(const QString &path);

// Reads the source, handing each entry to context.entry in source order.
void readSource(SourceFormat format, const QString &path, const SourceContext &context);
