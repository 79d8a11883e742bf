# The book catalogue, the merged word list and the dictionary pane (included from CMakeLists.txt).
kelmor_gtest(test_catalogue QT SOURCES test_catalogue.cpp dictionary_fixture.h LIBS kelmor_books)
kelmor_gtest(test_wordlist QT SOURCES test_wordlist.cpp dictionary_fixture.h LIBS kelmor_books)
kelmor_gtest(test_dictionary QT
    SOURCES test_dictionary.cpp dictionary_fixture.h LIBS kelmor_books Qt6::Test)
