# The executable's version record lives in the ELF section ".orvessa_version", generated at
# build time from resources/version.ini. VersionInfo (src/about/VersInfo) reads it back.
#
# Block layout, all numbers little-endian:
#    0  "OVVR"
#    4  u32  size of the whole block in bytes
#    8  u16  layout version (1)
#   10  u16  number of translation entries T
#   12  u16  file version, 4 parts, most significant first
#   20  u16  product version, 4 parts
#   28  u16  number of string tables S
#   30  u16  0
#   32  T x (u16 language, u16 code page)
#       S x (string table name, u16 entry count n, n x (key, value))
# A string is a u16 byte count followed by that many bytes of UTF-8.

function(_orvessa_u16 out value)
    if(value LESS 0 OR value GREATER 65535)
        message(FATAL_ERROR "version.ini: ${value} does not fit in 16 bits")
    endif()
    math(EXPR lo "${value} % 256")
    math(EXPR hi "${value} / 256")
    set(${out} "${lo},${hi}," PARENT_SCOPE)
endfunction()

function(_orvessa_u32 out value)
    math(EXPR b0 "${value} % 256")
    math(EXPR b1 "(${value} / 256) % 256")
    math(EXPR b2 "(${value} / 65536) % 256")
    math(EXPR b3 "(${value} / 16777216) % 256")
    set(${out} "${b0},${b1},${b2},${b3}," PARENT_SCOPE)
endfunction()

# Appends a length-prefixed UTF-8 string to the byte text in bytes_var, counting in size_var.
function(_orvessa_string bytes_var size_var text)
    string(HEX "${text}" _hex)
    string(LENGTH "${_hex}" _hex_length)
    math(EXPR _length "${_hex_length} / 2")
    _orvessa_u16(_prefix ${_length})
    string(REGEX REPLACE "(..)" "0x\\1," _string_bytes "${_hex}")
    math(EXPR _size "${${size_var}} + 2 + ${_length}")
    set(${bytes_var} "${${bytes_var}}\n    ${_prefix}${_string_bytes}" PARENT_SCOPE)
    set(${size_var} ${_size} PARENT_SCOPE)
endfunction()

# "2.1.3.4" -> four u16 parts.
function(_orvessa_version_parts out text)
    if(NOT text MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
        message(FATAL_ERROR "version.ini: \"${text}\" is not a version of four numbers")
    endif()
    set(bytes "")
    foreach(i 1 2 3 4)
        _orvessa_u16(part ${CMAKE_MATCH_${i}})
        string(APPEND bytes "${part}")
    endforeach()
    set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

function(_orvessa_write_version_source ini output)
    file(READ "${ini}" content)
    string(REPLACE "\r" "" content "${content}")
    string(APPEND content "\n")

    set(section "")
    set(file_version "0.0.0.0")
    set(product_version "0.0.0.0")
    set(translations "")
    set(translation_count 0)
    set(table_names "")
    set(table_count 0)
    while(NOT content STREQUAL "")
        string(FIND "${content}" "\n" eol)
        string(SUBSTRING "${content}" 0 ${eol} line)
        math(EXPR next "${eol} + 1")
        string(SUBSTRING "${content}" ${next} -1 content)
        string(STRIP "${line}" line)
        if(line STREQUAL "" OR line MATCHES "^[#;]")
            continue()
        endif()
        if(line MATCHES "^\\[(.*)\\]$")
            string(STRIP "${CMAKE_MATCH_1}" section)
            if(section MATCHES "^StringFileInfo[ \t]+([0-9A-Fa-f]+)$")
                set(table "${CMAKE_MATCH_1}")
                math(EXPR table_count "${table_count} + 1")
                set(table_${table_count}_name "${table}")
                set(table_${table_count}_count 0)
                set(table_${table_count}_bytes "")
                set(table_${table_count}_size 0)
                set(section StringFileInfo)
            elseif(NOT section STREQUAL "FixedFileInfo" AND NOT section STREQUAL "VarFileInfo")
                message(FATAL_ERROR "version.ini: unknown section [${section}]")
            endif()
            continue()
        endif()
        string(FIND "${line}" "=" eq)
        if(eq LESS 1)
            message(FATAL_ERROR "version.ini: line \"${line}\" is not key=value")
        endif()
        string(SUBSTRING "${line}" 0 ${eq} key)
        math(EXPR value_start "${eq} + 1")
        string(SUBSTRING "${line}" ${value_start} -1 value)
        string(STRIP "${key}" key)
        string(STRIP "${value}" value)
        if(section STREQUAL "FixedFileInfo")
            if(key STREQUAL "FileVersion")
                set(file_version "${value}")
            elseif(key STREQUAL "ProductVersion")
                set(product_version "${value}")
            else()
                message(FATAL_ERROR "version.ini: unknown fixed value ${key}")
            endif()
        elseif(section STREQUAL "VarFileInfo" AND key STREQUAL "Translation")
            if(NOT value MATCHES "^(0x[0-9A-Fa-f]+|[0-9]+)[ \t]*,[ \t]*(0x[0-9A-Fa-f]+|[0-9]+)$")
                message(FATAL_ERROR "version.ini: Translation must be \"language, code page\"")
            endif()
            math(EXPR language "${CMAKE_MATCH_1}")
            math(EXPR codepage "${CMAKE_MATCH_2}")
            _orvessa_u16(lang_bytes ${language})
            _orvessa_u16(cp_bytes ${codepage})
            string(APPEND translations "${lang_bytes}${cp_bytes}")
            math(EXPR translation_count "${translation_count} + 1")
        elseif(section STREQUAL "StringFileInfo")
            set(t ${table_count})
            _orvessa_string(table_${t}_bytes table_${t}_size "${key}")
            _orvessa_string(table_${t}_bytes table_${t}_size "${value}")
            math(EXPR table_${t}_count "${table_${t}_count} + 1")
        else()
            message(FATAL_ERROR "version.ini: \"${key}\" outside a known section")
        endif()
    endwhile()

    set(body "")
    set(body_size 0)
    _orvessa_version_parts(fixed_file "${file_version}")
    _orvessa_version_parts(fixed_product "${product_version}")
    _orvessa_u16(tcount ${translation_count})
    _orvessa_u16(scount ${table_count})
    math(EXPR body_size "32 + 4 * ${translation_count}")
    if(table_count GREATER 0)
        foreach(t RANGE 1 ${table_count})
            _orvessa_string(body body_size "${table_${t}_name}")
            _orvessa_u16(entries ${table_${t}_count})
            math(EXPR body_size "${body_size} + 2 + ${table_${t}_size}")
            string(APPEND body "\n    ${entries}${table_${t}_bytes}")
        endforeach()
    endif()
    _orvessa_u32(total ${body_size})
    _orvessa_u16(layout 1)
    _orvessa_u16(zero 0)

    file(CONFIGURE OUTPUT "${output}.tmp" @ONLY CONTENT [=[
// Generated at build time from resources/version.ini by cmake/OrvessaVersion.cmake.
__attribute__((section(".orvessa_version"), used, aligned(4)))
extern const unsigned char orvessaVersionBlock[] = {
    0x4f,0x56,0x56,0x52,@total@@layout@@tcount@
    @fixed_file@
    @fixed_product@
    @scount@@zero@
    @translations@@body@
};
]=])
    # Only a changed record touches the source, so an unchanged one rebuilds nothing.
    file(COPY_FILE "${output}.tmp" "${output}" ONLY_IF_DIFFERENT)
    file(REMOVE "${output}.tmp")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    _orvessa_write_version_source("${VERSION_FILE}" "${OUTPUT}")
    return()
endif()

# Gives the target the version record of resources/version.ini.
function(orvessa_embed_version target)
    set(ini ${PROJECT_SOURCE_DIR}/resources/version.ini)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DVERSION_FILE=${ini} -DOUTPUT=${out} -P ${_ORVESSA_VERSION_SCRIPT}
        DEPENDS ${ini} ${_ORVESSA_VERSION_SCRIPT}
        COMMENT "Version record for ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()

set(_ORVESSA_VERSION_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
