// The stand-in card library's own helper library, found beside it only through LD_LIBRARY_PATH.

extern "C" __attribute__((visibility("default"))) int kestrelusb_ready()
{
    return 1;
}
