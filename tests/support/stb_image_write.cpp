// stb_image_write, which tests use to make image files. Its JPEG writer
// shifts negative numbers, so this file is built without UBSan (CMakeLists).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
