local start = os.clock()
local vocabulary = { "alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta" }
local parts = {}
local seed = 1
for i = 0, 199999 do
    seed = (seed * 75 + 74) % 65537
    parts[#parts + 1] = vocabulary[seed % 8 + 1] .. " "
end
local text = table.concat(parts)
local counts = {}
local from = 1
local distinct = 0
for i = 1, #text do
    if text:sub(i, i) == " " then
        local word = text:sub(from, i - 1)
        if counts[word] then
            counts[word] = counts[word] + 1
        else
            counts[word] = 1
            distinct = distinct + 1
        end
        from = i + 1
    end
end
print(distinct .. ":" .. counts["alpha"] .. ":" .. counts["theta"], os.clock() - start)
