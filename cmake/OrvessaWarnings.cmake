# Warnings for our own targets; third-party headers come in as SYSTEM includes.
function(orvessa_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
    if(ORVESSA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
