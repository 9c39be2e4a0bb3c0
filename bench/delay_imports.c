/* Lists the delay-load imports of a 64-bit PE file whose delay-import directory entry is empty,
 * as GNU ld leaves it: the descriptors that dlltool -y made are still in the image, in the
 * layout the delay-load helper reads (ImgDelayDescr, 8 x 32 bits). They are found by scanning
 * every section for a record that has attributes 1 (RVA based), a DLL name RVA pointing at
 * "<name>.dll", handle, IAT and name-table RVAs inside the image, and a zero time stamp; the
 * name table then gives each function, as the helper would use it.
 *
 *   delay_imports <file.exe>     prints "<dll>: <function> <function> ..." per descriptor
 *
 * A native host tool (only the C library): it reads the file, it runs nothing. */
#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char* image;
static size_t imageSize;
static uint32_t sizeOfImage;

struct Section {
    uint32_t rva, virtualSize, rawOffset, rawSize;
};
static struct Section sections[96];
static unsigned sectionCount;

static uint16_t U16(size_t at)
{
    return at + 2 <= imageSize ? (uint16_t)(image[at] | image[at + 1] << 8) : 0;
}
static uint32_t U32(size_t at)
{
    return at + 4 <= imageSize ? (uint32_t)U16(at) | (uint32_t)U16(at + 2) << 16 : 0;
}
static uint64_t U64(size_t at)
{
    return (uint64_t)U32(at) | (uint64_t)U32(at + 4) << 32;
}

/* File offset of an RVA, or 0 when it lies in no section's file data. */
static size_t Offset(uint32_t rva)
{
    for (unsigned i = 0; i < sectionCount; ++i) {
        const struct Section* s = &sections[i];
        if (rva >= s->rva && rva < s->rva + s->rawSize) return s->rawOffset + (rva - s->rva);
    }
    return 0;
}

/* The NUL-terminated printable text at an RVA, or NULL. */
static const char* TextAt(uint32_t rva)
{
    const size_t at = Offset(rva);
    if (at == 0) return NULL;
    size_t end = at;
    while (end < imageSize && image[end] != 0 && isprint(image[end]) && end - at < 256)
        ++end;
    if (end == at || end >= imageSize || image[end] != 0) return NULL;
    return (const char*)image + at;
}

static int EndsWithDll(const char* name)
{
    const size_t n = strlen(name);
    if (n < 5) return 0;
    const char* tail = name + n - 4;
    return tail[0] == '.' && tolower((unsigned char)tail[1]) == 'd' &&
           tolower((unsigned char)tail[2]) == 'l' && tolower((unsigned char)tail[3]) == 'l';
}

static int InImage(uint32_t rva)
{
    return rva != 0 && rva < sizeOfImage;
}

static int IsDescriptor(size_t at)
{
    const uint32_t attributes = U32(at), name = U32(at + 4), module = U32(at + 8),
                   iat = U32(at + 12), names = U32(at + 16), bound = U32(at + 20),
                   unload = U32(at + 24), stamp = U32(at + 28);
    if (attributes != 1 || !InImage(module) || !InImage(iat) || !InImage(names) || stamp != 0)
        return 0;
    if ((bound != 0 && !InImage(bound)) || (unload != 0 && !InImage(unload))) return 0;
    const char* dll = TextAt(name);
    return dll != NULL && EndsWithDll(dll) && Offset(names) != 0;
}

static void PrintDescriptor(size_t at)
{
    printf("%s:", TextAt(U32(at + 4)));
    size_t entry = Offset(U32(at + 16));
    for (unsigned i = 0; i < 4096; ++i, entry += 8) {
        const uint64_t thunk = U64(entry);
        if (thunk == 0) break;
        if (thunk >> 63) {
            printf(" #%u", (unsigned)(thunk & 0xffff));
            continue;
        }
        const char* function = TextAt((uint32_t)thunk + 2); /* past the hint */
        printf(" %s", function != NULL ? function : "?");
    }
    printf("\n");
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <file.exe>\n", argv[0]);
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL) {
        perror(argv[1]);
        return 2;
    }
    fseek(in, 0, SEEK_END);
    imageSize = (size_t)ftell(in);
    fseek(in, 0, SEEK_SET);
    image = malloc(imageSize);
    if (image == NULL || fread(image, 1, imageSize, in) != imageSize) {
        fprintf(stderr, "cannot read\n");
        return 2;
    }
    fclose(in);

    const uint32_t pe = U32(0x3c);
    if (U16(0) != 0x5a4d || U32(pe) != 0x4550 || U16(pe + 24) != 0x20b) {
        fprintf(stderr, "%s: not a 64-bit PE file\n", argv[1]);
        return 2;
    }
    sectionCount = U16(pe + 6);
    if (sectionCount > sizeof(sections) / sizeof(sections[0])) return 2;
    const size_t optionalSize = U16(pe + 20);
    sizeOfImage = U32(pe + 24 + 56);
    const uint32_t directoryRva = U32(pe + 24 + 112 + 13 * 8); /* delay-import entry */
    const size_t table = pe + 24 + optionalSize;
    for (unsigned i = 0; i < sectionCount; ++i) {
        const size_t s = table + i * 40;
        sections[i] = (struct Section){U32(s + 12), U32(s + 8), U32(s + 20), U32(s + 16)};
    }
    printf("# delay-import directory entry: RVA 0x%x\n", directoryRva);

    unsigned found = 0;
    for (unsigned i = 0; i < sectionCount; ++i) {
        const struct Section* s = &sections[i];
        for (size_t at = s->rawOffset; at + 32 <= s->rawOffset + s->rawSize && at + 32 <= imageSize;
             at += 4) {
            if (!IsDescriptor(at)) continue;
            PrintDescriptor(at);
            ++found;
            at += 28;
        }
    }
    printf("# %u delay-load descriptor(s)\n", found);
    return 0;
}
