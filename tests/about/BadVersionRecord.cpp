// A version record whose string table runs past the end of its block.
__attribute__((section(".orvessa_version"), used,
               aligned(4))) extern const unsigned char badVersionRecord[] = {
    'O', 'V', 'V', 'R', 36, 0, 0, 0, 1, 0, 0, 0, 2, 0, 1,   0, 3,   0,
    4,   0,   2,   0,   1,  0, 3, 0, 4, 0, 1, 0, 0, 0, 200, 0, '0', '4'};
