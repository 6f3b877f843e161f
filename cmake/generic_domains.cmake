# Writes the program's generic top-level domain list (Settings/gTLDs.txt)
# from the public suffix list: every single-label name of its ICANN section
# that is no two-letter country code, in ASCII (the addresses are checked in
# ASCII), one double-quoted name per line. The long-standing domains come
# first, in the order the e-mail suggestions try them. The list holds at most
# 1000 names; when there are more, brand domains are left out, as many as it
# takes and from the end of the list: a brand domain is one whose registry
# operator, as the list names it, is a company of the same name, and not a
# registry or domain business, a public body (a city, a state, a university,
# an institute) or one of the few such registries that sell names to anyone.
#
#   cmake -DPSL=public_suffix_list.dat -DOUT=gTLDs.txt -P generic_domains.cmake

cmake_policy(SET CMP0057 NEW)

if(NOT EXISTS "${PSL}")
  message(FATAL_ERROR "The public suffix list ${PSL} is missing (package publicsuffix)")
endif()

set(limit 1000)
# Registries whose operator bears the domain's name but that sell to anyone.
set(open bayern cam desi kosher)
set(first com net org edu gov mil int info biz name pro aero coop museum mobi asia tel travel jobs cat arpa)

file(READ "${PSL}" text)
# Semicolons would split CMake list entries; the list's names hold none.
string(REPLACE ";" " " text "${text}")
string(REPLACE "\r" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

set(inside FALSE)
set(names "")
set(brands "")
set(commentName "")
set(commentText "")
foreach(line IN LISTS lines)
  if(line MATCHES "===BEGIN ICANN DOMAINS===")
    set(inside TRUE)
    continue()
  elseif(line MATCHES "===END ICANN DOMAINS===")
    break()
  endif()
  if(NOT inside)
    continue()
  endif()
  if(line MATCHES "^// ([^ ]+) : (.*)$")
    set(commentName "${CMAKE_MATCH_1}")
    set(commentText "${CMAKE_MATCH_2}")
    continue()
  endif()
  string(STRIP "${line}" name)
  if(NOT name MATCHES "^[a-z0-9-]+$")
    continue()   # comments, blanks, rules with dots, wildcards or exceptions, non-ASCII names
  endif()
  string(LENGTH "${name}" length)
  if(length LESS 3)
    continue()   # country codes
  endif()
  if(name STREQUAL "onion")
    continue()   # a special-use name, not a domain mail is delivered to
  endif()
  list(APPEND names "${name}")
  # "2015-06-25 Abbott Laboratories, Inc.": the operator's first word is the name.
  if(commentName STREQUAL name AND commentText MATCHES "^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] ([A-Za-z0-9]+)[ ,.]")
    string(TOLOWER "${CMAKE_MATCH_1}" word)
    string(TOLOWER "${commentText}" operator)
    if(word STREQUAL name
       AND NOT operator MATCHES "domain|\\.com|registr|partners|holdings|top level| nic | dot"
       AND NOT operator MATCHES "government|municipal|confederation|university|institute|politie"
       AND NOT name IN_LIST open)
      list(APPEND brands "${name}")
    endif()
  endif()
endforeach()

list(REMOVE_DUPLICATES names)
list(REMOVE_ITEM names ${first})
list(LENGTH first firstCount)
list(LENGTH names count)
math(EXPR excess "${firstCount} + ${count} - ${limit}")
list(REVERSE brands)
foreach(brand IN LISTS brands)
  if(excess LESS_EQUAL 0)
    break()
  endif()
  list(FIND names "${brand}" at)
  if(at GREATER_EQUAL 0)
    list(REMOVE_AT names ${at})
    math(EXPR excess "${excess} - 1")
  endif()
endforeach()
set(ordered ${first} ${names})
list(LENGTH ordered count)
if(count GREATER limit)
  list(SUBLIST ordered 0 ${limit} ordered)
endif()

set(out "")
foreach(name IN LISTS ordered)
  string(APPEND out "\"${name}\"\r\n")
endforeach()
file(WRITE "${OUT}.tmp" "${out}")
file(RENAME "${OUT}.tmp" "${OUT}")
