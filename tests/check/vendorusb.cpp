// A vendor's helper library for the stand-in driver libraries of the check tool's tests.

extern "C" __attribute__((visibility("default"))) int vendorusb_open()
{
    return 0;
}
