// A driver module without createDataSource (loaded as "/PostgreSQL": tovi_PGSQL.so).
namespace {
int nothing_here = 0;
}
int* tovi_empty_module_marker() {
    return &nothing_here;
}
