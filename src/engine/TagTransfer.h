#pragma once

struct ConversionJob;
struct OutputFormatInfo;

/// Once the format has finished its file: with TransferAllTags, every field and picture of the source
/// goes into the output in the row's tag system. With tags from the template the template's nine
/// texts stay as the format wrote them and only the other fields travel; with tags from the source
/// the source's own fields replace what the format wrote; without tags nothing is added. A source
/// without a picture takes its folder's cover file when FolderCoverArt asks. 1 when done or nothing
/// was to be done, 0 when the output could not be written.
int TransferTags(const ConversionJob& job, const OutputFormatInfo& row);
