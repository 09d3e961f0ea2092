#pragma once

/// Entry of an ascending table ended by -1 that is nearest to value; a tie gives the lower entry.
/// An empty table gives value unchanged.
int NearestInTable(int value, const int* table);

/// Limits a Vorbis bitrate (kbit/s) to the range the encoder allows for the rate and channels.
/// A rate outside the table uses the row of the nearest rate in it.
int ClampVorbisBitrate(int sampleRate, int channels, int bitrate);

/// Picks the standard output rate for a source rate and the default bitrate (kbit/s) for it.
void AutoRateAndBitrate(int sampleRate, int channels, int& bitrate, int& rate);
