// A driver module without createDataSource (loaded as "/CTLIB/SYBASE": tovi_ctlib_sb.so).
namespace {
int nothing_here = 0;
}
int* tovi_empty_module_marker() {
    return &nothing_here;
}
