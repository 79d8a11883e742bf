# Start-up, rebuild and search costs of the dictionary (included from CMakeLists.txt).
kelmor_benchmark(bench_catalogue SOURCES bench_catalogue.cpp generated_library.h LIBS kelmor_books)
