# What makes a build from scratch cheaper: lld for the many link steps, and precompiled Qt
# and standard headers, which most of the compile time of a source otherwise goes to parse.
#
# Precompiled headers are built once per group of targets whose compile definitions agree
# (GCC refuses a header precompiled under other definitions, and -Winvalid-pch with -Werror
# turns that into an error rather than a silent slow build):
#   orvessa_pch_core  the logic libraries (Qt Core only)
#   orvessa_pch_ui    orvessa_ui and the program
#   one pair per test folder, since Qt's test macros carry the folder (QT_TESTCASE_SOURCEDIR).
#
# A precompiled header differs between build folders, so objects that use it are not shared
# between folders through ccache; ORVESSA_PCH=OFF keeps that sharing where it matters more.

option(ORVESSA_FAST_LINKER "Link with lld when the compiler can use it" ON)
option(ORVESSA_PCH "Precompile the Qt and standard headers that most sources include" ON)

if(ORVESSA_FAST_LINKER)
    include(CheckLinkerFlag)
    check_linker_flag(CXX -fuse-ld=lld ORVESSA_HAVE_LLD)
    if(ORVESSA_HAVE_LLD)
        add_link_options(-fuse-ld=lld)
    endif()
endif()

set(ORVESSA_PCH_CORE_HEADERS
    <algorithm> <functional> <memory> <optional> <vector>
    <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QObject> <QString>
    <QStringList> <QVariant>)
set(ORVESSA_PCH_UI_HEADERS ${ORVESSA_PCH_CORE_HEADERS}
    <QApplication> <QDialog> <QHeaderView> <QLabel> <QMainWindow> <QPainter> <QPlainTextEdit>
    <QPushButton> <QTabWidget> <QTableView> <QTableWidget> <QTextBrowser> <QToolButton>
    <QTreeWidget> <QVBoxLayout> <QWidget>)
set(ORVESSA_PCH_TEST_HEADERS <QSignalSpy> <QTemporaryDir> <QTest>)
set(ORVESSA_PCH_UI_LIBS Qt6::Widgets Qt6::Network Qt6::PrintSupport QScintilla::QScintilla)

if(ORVESSA_PCH AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    # ccache caches a compile that uses a precompiled header only when told the header's
    # definitions and time stamps are safe to disregard (the header is rebuilt by the build).
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

# A library of one empty source whose only product is the precompiled header of a group.
function(_orvessa_pch_holder name)
    cmake_parse_arguments(H "" "" "HEADERS;LIBS" ${ARGN})
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Holds the precompiled headers that other targets reuse.\n")
    add_library(${name} STATIC ${source})
    target_link_libraries(${name} PRIVATE ${H_LIBS})
    orvessa_warnings(${name})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_precompile_headers(${name} PRIVATE ${H_HEADERS})
endfunction()

function(_orvessa_reuse_pch target holder)
    target_precompile_headers(${target} REUSE_FROM ${holder})
endfunction()

# Called for each test with its libraries (from orvessa_add_test).
function(orvessa_test_pch target)
    if(NOT ORVESSA_PCH)
        return()
    endif()
    if(orvessa_ui IN_LIST ARGN)
        set(kind ui)
        set(libs ${ORVESSA_PCH_UI_LIBS} Qt6::Test)
        set(headers ${ORVESSA_PCH_UI_HEADERS} ${ORVESSA_PCH_TEST_HEADERS})
    elseif(Qt6::Widgets IN_LIST ARGN OR Qt6::Gui IN_LIST ARGN)
        return()
    else()
        set(kind core)
        set(libs Qt6::Core Qt6::Test)
        set(headers ${ORVESSA_PCH_CORE_HEADERS} ${ORVESSA_PCH_TEST_HEADERS})
    endif()
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(MAKE_C_IDENTIFIER "${folder}" folder)
    set(holder orvessa_pch_${folder}_${kind})
    if(NOT TARGET ${holder})
        _orvessa_pch_holder(${holder} HEADERS ${headers} LIBS ${libs})
    endif()
    _orvessa_reuse_pch(${target} ${holder})
endfunction()

function(_orvessa_targets_below dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        _orvessa_targets_below(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Gives the program's libraries and the program their precompiled headers; called once all
# of src/ is known.
function(orvessa_program_pch)
    if(NOT ORVESSA_PCH)
        return()
    endif()
    _orvessa_pch_holder(orvessa_pch_core HEADERS ${ORVESSA_PCH_CORE_HEADERS} LIBS Qt6::Core)
    _orvessa_pch_holder(orvessa_pch_ui HEADERS ${ORVESSA_PCH_UI_HEADERS} LIBS ${ORVESSA_PCH_UI_LIBS})
    _orvessa_targets_below(${PROJECT_SOURCE_DIR}/src targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        # Compiled under definitions of its own (libsecret's -pthread defines _REENTRANT).
        get_target_property(no_pch ${target} ORVESSA_NO_PCH)
        if(no_pch)
            continue()
        endif()
        get_target_property(libs ${target} LINK_LIBRARIES)
        if(target STREQUAL "orvessa_ui" OR orvessa_ui IN_LIST libs)
            _orvessa_reuse_pch(${target} orvessa_pch_ui)
        elseif(Qt6::Widgets IN_LIST libs OR Qt6::Gui IN_LIST libs)
            continue()
        elseif(Qt6::Core IN_LIST libs)
            _orvessa_reuse_pch(${target} orvessa_pch_core)
        endif()
    endforeach()
endfunction()
