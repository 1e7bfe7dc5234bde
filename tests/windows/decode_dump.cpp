// decode_dump IN OUT: the sound library's decoder (libmpg123 and SDL on Linux,
// the system's codecs on Windows) turns the audio file IN into OUT: rate and
// channels as two little-endian 32-bit words, then the 16-bit samples.
// Exit code 1 when the decoder refuses the file.
#include <cstdio>
#include <vector>

#include "sound/demosound/decoder.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in)
        return 2;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(in);
    demosound::Pcm pcm;
    if (!demosound::decode(bytes.data(), bytes.size(), pcm))
        return 1;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 2;
    const uint32_t head[2] = {uint32_t(pcm.rate), uint32_t(pcm.channels)};
    std::fwrite(head, sizeof head, 1, out);
    std::fwrite(pcm.samples.data(), sizeof(int16_t), pcm.samples.size(), out);
    return std::fclose(out) == 0 ? 0 : 2;
}
