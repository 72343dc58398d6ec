# Run as a script (cmake -DFILE=<BinaryData1.cpp> -P StrictBinaryDataLookup.cmake) right after JUCE has
# generated the binary-data sources. JUCE's generated lookups have two faults that we mend here:
# - getNamedResource compares only a 31-multiplier hash of the name, so a name that is not in the
#   table but shares a table name's hash returns that resource's bytes;
# - getNamedResourceOriginalFilename passes a null name straight to strcmp and crashes.
# The hash lookup is kept (renamed findByNameHash) and the public getNamedResource accepts only the
# table's own names, each of which still selects exactly what it did before.

if(NOT FILE)
    message(FATAL_ERROR "StrictBinaryDataLookup.cmake: FILE is not set")
endif()

file(READ "${FILE}" code)

if(code MATCHES "findByNameHash")
    return()
endif()

set(hash_lookup "const char* getNamedResource (const char* resourceNameUTF8, int& numBytes)")
set(name_compare "strcmp (namedResourceList[i], resourceNameUTF8) == 0")

foreach(expected IN ITEMS hash_lookup name_compare)
    string(FIND "${code}" "${${expected}}" position)
    if(position EQUAL -1)
        message(FATAL_ERROR "StrictBinaryDataLookup.cmake: \"${${expected}}\" not found in ${FILE}; "
                            "the generated code has changed, review this script")
    endif()
endforeach()

string(REPLACE "${hash_lookup}" "static const char* findByNameHash (const char* resourceNameUTF8, int& numBytes)"
    code "${code}")
string(REPLACE "${name_compare}" "resourceNameUTF8 != nullptr && ${name_compare}" code "${code}")

string(APPEND code [[

namespace BinaryData
{
const char* getNamedResource (const char* resourceNameUTF8, int& numBytes);
const char* getNamedResourceOriginalFilename (const char* resourceNameUTF8);

// Only the table's own names select a resource (see cmake/StrictBinaryDataLookup.cmake).
const char* getNamedResource (const char* resourceNameUTF8, int& numBytes)
{
    if (getNamedResourceOriginalFilename (resourceNameUTF8) == nullptr)
    {
        numBytes = 0;
        return nullptr;
    }

    return findByNameHash (resourceNameUTF8, numBytes);
}
}
]])

file(WRITE "${FILE}" "${code}")
