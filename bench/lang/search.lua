local start = os.clock()
-- A plain string search: where each of a few words stands in a long text, compared at
-- every position, and the first place of each found by find().
local words = { "lorem", "ipsum", "dolor", "sit", "amet", "elit" }
local parts = {}
local seed = 7
for i = 1, 20000 do
    seed = (seed * 16807) % 2147483647
    parts[#parts + 1] = words[seed % 6 + 1] .. " "
end
local text = table.concat(parts)
local count = 0
local places = 0
for w = 1, #words do
    local word = words[w]
    local m = #word
    for i = 1, #text - m + 1 do if text:sub(i, i + m - 1) == word then count = count + 1 end end
    local at = text:find(word .. " " .. word, 1, true)
    places = places + (at and at - 1 or -1)
end
print(count .. ":" .. places, os.clock() - start)
