// A stand-in driver library that needs the vendor's helper library to load.

extern "C" int vendorusb_open();

extern "C" __attribute__((visibility("default"))) int ICC_Reader_Open(const char *)
{
    return vendorusb_open();
}
